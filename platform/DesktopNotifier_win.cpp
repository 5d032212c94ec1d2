#include "platform/DesktopNotifier.h"

namespace {

// Windows shows an application's notifications as its tray icon's messages: every one goes there.
class TrayNotifier final : public DesktopNotifier {
public:
    using DesktopNotifier::DesktopNotifier;

    void Start() override {}
    bool Connected() const override { return false; }
    void Show(const QString&, const QString& summary, const QString& body, const QStringList&) override {
        Q_EMIT unshown(summary, body);
    }
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::ForThisSystem(QObject* parent) {
    return std::make_unique<TrayNotifier>(parent);
}
