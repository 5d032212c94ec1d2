#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTime>
#include <QTimer>

// The floor for a window that shows a running time: a label that a one-second timer updates.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto* label = new QLabel(&window);
    window.setCentralWidget(label);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, label,
                     [label] { label->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); });
    tick.start(1000);
    window.show();
    return QApplication::exec();
}
