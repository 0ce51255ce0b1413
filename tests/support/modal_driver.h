#pragma once

#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>

// Answers real modal boxes as they open: every 10 ms it looks for the active
// modal box and hands it to the next expected step, which records it and
// closes it (press a button, Escape, or close it through its frame).
class ModalDriver : public QObject {
public:
    using Step = std::function<void(QMessageBox&)>;

    ModalDriver()
    {
        connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
        poll_.start(10);
    }
    void Expect(Step step) { steps_.push_back(std::move(step)); }
    bool AllAnswered() const { return steps_.empty(); }
    int unexpected = 0;

    static Step Press(QMessageBox::StandardButton button, QString* text = nullptr)
    {
        return [button, text](QMessageBox& box) {
            if (text)
                *text = box.text();
            box.button(button)->click();
        };
    }

private:
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("modalDriverSeen").toBool())
            return;
        box->setProperty("modalDriverSeen", true);
        if (steps_.empty()) {
            ++unexpected;
            box->reject();
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(*box);
    }

    QTimer poll_;
    std::deque<Step> steps_;
};
