#pragma once
// Hands work from a MIDI library's thread to the UI thread through Qt's event loop.
#include "midi/main_thread_poster.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vantaro {

class QtPoster final : public MainThreadPoster {
public:
    // context: the object whose thread runs the tasks; it outlives every reader that posts.
    explicit QtPoster(QObject* context) : context_(context) {}
    void post(std::function<void()> task) override {
        QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
    }

private:
    QObject* context_;
};

} // namespace vantaro
