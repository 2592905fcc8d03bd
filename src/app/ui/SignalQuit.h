#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace pintora {

// Runs `quit` on the main thread when the process is asked to end (SIGTERM, SIGINT, SIGHUP),
// so that logging out keeps unsaved work as Quit does.
class SignalQuit : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(std::function<void()> quit, QObject* parent = nullptr);
    ~SignalQuit() override;

private:
    std::function<void()> quit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace pintora
