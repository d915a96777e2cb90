#pragma once
// Makes the wizard's preview clip (the first seconds of the task's own video) on a thread of its
// own, so that the wizard stays responsive, and keeps it for the wizard's later previews.

#include "convert/preview_clip.h"
#include "model/custom_settings.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace rm::ui {

class PreviewClipMaker : public QObject {
public:
    enum class State {
        None,    // no own video: the preview shows the sample
        Making,  // being made; the preview waits for it
        Ready,   // clip() is the clip to show
        Failed,  // the source could not be made into a clip: the preview shows the sample
    };

    // done runs on the thread that owns the maker when a requested clip is finished or failed
    // (never for a clip that was cancelled or replaced).
    explicit PreviewClipMaker(std::function<void()> done, QObject* parent = nullptr);
    ~PreviewClipMaker() override;  // cancels a clip being made and waits for its thread

    // The clip of `source` at s.Width x s.Height into `folder`: kept when it is the clip made or
    // being made already, else made anew (one being made is cancelled, an older one deleted).
    // An empty source or folder: State::None.
    State Request(const PreviewClipSource& source, const CustomSettings& s, const QString& folder);
    // Stops a clip being made and waits until its thread has ended (it leaves no file). A clip
    // already made stays.
    void Cancel();

    State state() const { return m_state; }
    const PreviewClip& clip() const { return m_clip; }

private:
    struct Key {
        PreviewClipSource source;
        int width = 0;
        int height = 0;
        float frameRate = 0;
        QString folder;
        bool operator==(const Key&) const = default;
    };
    void Join();
    void RemoveClipFiles();

    std::function<void()> m_done;
    State m_state = State::None;
    Key m_key;
    PreviewClip m_clip;
    int m_counter = 0;     // names each clip apart (the browser never plays an older one)
    int m_generation = 0;  // results of a replaced or cancelled clip are dropped
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_thread;
};

} // namespace rm::ui
