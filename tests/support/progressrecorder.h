#pragma once
// A Progress for tests: records every step and count a job reports, and can
// ask the job to stop when a given step begins or after a number of units.

#include "platform/progress.h"

#include <QStringList>

#include <atomic>
#include <mutex>

namespace kolva::test {

class ProgressRecorder : public Progress {
public:
    struct Stage {
        QString label;
        qint64 total = 0;
        qint64 lastDone = 0;
        bool cancellable = false; // whether Cancel was offered during the step
    };

    // Asks the job to stop once the step whose label contains text has done
    // at least units (0: as soon as it begins).
    void cancelAt(const QString& text, qint64 units = 0)
    {
        std::lock_guard lock(mutex_);
        cancelStage_ = text;
        cancelUnits_ = units;
    }

    void beginStage(const QString& label, qint64 total) override
    {
        std::lock_guard lock(mutex_);
        stages_.push_back({label, total, 0, cancellable_});
        check();
    }
    void advance(qint64 done) override
    {
        std::lock_guard lock(mutex_);
        if (!stages_.empty())
            stages_.back().lastDone = done;
        check();
    }
    void setCancellable(bool cancellable) override
    {
        std::lock_guard lock(mutex_);
        cancellable_ = cancellable;
        if (!stages_.empty() && cancellable)
            stages_.back().cancellable = true;
    }
    bool cancelRequested() const override { return cancelled_; }

    std::vector<Stage> stages() const
    {
        std::lock_guard lock(mutex_);
        return stages_;
    }
    QStringList labels() const
    {
        std::lock_guard lock(mutex_);
        QStringList out;
        for (const Stage& s : stages_)
            out << s.label;
        return out;
    }

private:
    void check()
    {
        if (!cancelStage_.isEmpty() && !stages_.empty() && stages_.back().label.contains(cancelStage_)
            && stages_.back().lastDone >= cancelUnits_)
            cancelled_ = true;
    }

    mutable std::mutex mutex_;
    std::vector<Stage> stages_;
    bool cancellable_ = false;
    QString cancelStage_;
    qint64 cancelUnits_ = 0;
    std::atomic<bool> cancelled_{false};
};

} // namespace kolva::test
