#include "ui/custom/preview_clip_maker.h"

#include "convert/conver_thread.h"

#include <QFile>
#include <QPointer>

namespace rm::ui {

PreviewClipMaker::PreviewClipMaker(std::function<void()> done, QObject* parent)
    : QObject(parent)
    , m_done(std::move(done))
{
}

PreviewClipMaker::~PreviewClipMaker()
{
    Cancel();
    RemoveClipFiles();
}

void PreviewClipMaker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void PreviewClipMaker::Cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    Join();
    m_cancel.reset();
    if (m_state == State::Making) {
        ++m_generation;
        m_state = State::None;
        m_key = Key{};
    }
}

void PreviewClipMaker::RemoveClipFiles()
{
    for (const QString& f : {m_clip.video, m_clip.picture})
        if (!f.isEmpty())
            QFile::remove(f);
    m_clip = PreviewClip{};
}

PreviewClipMaker::State PreviewClipMaker::Request(const PreviewClipSource& source, const CustomSettings& s,
                                                  const QString& folder)
{
    Key key{source, s.Width, s.Height, s.FrameRate, folder};
    if (source.path.empty() || folder.isEmpty()) {
        Cancel();
        RemoveClipFiles();
        m_state = State::None;
        m_key = Key{};
        return m_state;
    }
    if (key == m_key && m_state != State::None)
        return m_state;
    Cancel();
    RemoveClipFiles();
    m_key = key;
    m_state = State::Making;
    const int generation = ++m_generation;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const QString stem = base + QStringLiteral("clip-%1").arg(++m_counter);
    auto settings = std::make_shared<CustomSettings>();
    CopyCustomSettings(*settings, s);
    QPointer<PreviewClipMaker> self(this);
    m_thread = std::thread([this, self, source, settings, stem, generation, cancel = m_cancel] {
        MaskFloatingPointExceptions();
        const PreviewClip clip = MakePreviewClip(source, *settings, stem, cancel.get());
        // The maker joins this thread before it goes, so it is there to queue on; the result is
        // taken on the owner's thread unless the clip was replaced or cancelled meanwhile (then
        // its files go). A maker gone before the result is delivered drops it; the files then
        // go with the preview folder.
        QMetaObject::invokeMethod(
            this,
            [self, clip, generation] {
                if (!self || generation != self->m_generation || self->m_state != State::Making) {
                    for (const QString& f : {clip.video, clip.picture})
                        if (!f.isEmpty())
                            QFile::remove(f);
                    return;
                }
                self->Join();
                self->m_cancel.reset();
                self->m_clip = clip;
                self->m_state = clip.video.isEmpty() ? State::Failed : State::Ready;
                if (self->m_done)
                    self->m_done();
            },
            Qt::QueuedConnection);
    });
    return m_state;
}

} // namespace rm::ui
