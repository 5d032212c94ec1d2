#pragma once

#include <QLabel>

// A static text of a form. It keeps its whole text for the data exchange, shows it elided when it does
// not fit (the whole text then goes to the tooltip), and can report clicks.
class FormLabel final : public QLabel {
    Q_OBJECT
public:
    explicit FormLabel(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return m_fullText; }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateShownText();

    QString m_fullText;
};
