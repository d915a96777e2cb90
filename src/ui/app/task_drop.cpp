#include "ui/app/task_drop.h"

#include "engines/converter/media_info.h"
#include "model/task_tree.h"
#include "ui/app/main_form.h"
#include "ui/app/task_list_view.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QSet>
#include <QTimer>
#include <QUrl>

namespace rm::ui {

bool IsVideoFileName(const QString& fileName)
{
    // The Add Video filter's kinds and the other common video containers.
    static const QSet<QString> extensions = {
        QStringLiteral("wmv"),  QStringLiteral("3gp"),  QStringLiteral("mov"),  QStringLiteral("vob"),
        QStringLiteral("mpg"),  QStringLiteral("asf"),  QStringLiteral("flv"),  QStringLiteral("avi"),
        QStringLiteral("rm"),   QStringLiteral("rmvb"), QStringLiteral("mp4"),  QStringLiteral("mkv"),
        QStringLiteral("mpeg"), QStringLiteral("m4v"),  QStringLiteral("webm"), QStringLiteral("ts"),
        QStringLiteral("mts"),  QStringLiteral("m2ts"), QStringLiteral("ogv"),  QStringLiteral("dv"),
        QStringLiteral("f4v"),  QStringLiteral("3g2"),  QStringLiteral("divx"), QStringLiteral("mxf"),
    };
    return extensions.contains(QFileInfo(fileName).suffix().toLower());
}

bool IsPictureFileName(const QString& fileName)
{
    static const QSet<QString> extensions = {
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),  QStringLiteral("apng"),
        QStringLiteral("bmp"), QStringLiteral("webp"), QStringLiteral("tif"),  QStringLiteral("tiff"),
        QStringLiteral("gif"),
    };
    return extensions.contains(QFileInfo(fileName).suffix().toLower());
}

namespace {

void AddFolder(const QString& folder, QStringList& out, QSet<QString>& visited)
{
    // A link back up the tree is walked once.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable,
        QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& e : entries) {
        if (e.isDir())
            AddFolder(e.filePath(), out, visited);
        // Pictures too: the probe decides for them as for a picture dropped by itself (an
        // animated one is added, a still one refused by name).
        else if (IsVideoFileName(e.fileName()) || IsPictureFileName(e.fileName()))
            out << QDir::toNativeSeparators(e.absoluteFilePath());
    }
}

} // namespace

QStringList ExpandDroppedPaths(const QStringList& paths)
{
    QStringList out;
    QSet<QString> visited;
    for (const QString& p : paths) {
        const QFileInfo fi(p);
        if (fi.isDir())
            AddFolder(fi.absoluteFilePath(), out, visited);
        else
            out << p;
    }
    return out;
}

QStringList PathsFromArguments(const QStringList& arguments)
{
    QStringList out;
    bool options = true;
    for (const QString& a : arguments) {
        if (options && a == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (options && a.startsWith(u'-'))
            continue;
        if (a.startsWith(QLatin1String("file:"))) {
            const QUrl url(a);
            if (url.isLocalFile())
                out << QDir::toNativeSeparators(url.toLocalFile());
            continue;
        }
        if (!a.isEmpty())
            out << QDir::toNativeSeparators(QFileInfo(a).absoluteFilePath());
    }
    return out;
}

QStringList LocalPathsOf(const QMimeData* mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl& u : mime->urls())
        if (u.isLocalFile() && !u.toLocalFile().isEmpty())
            out << QDir::toNativeSeparators(u.toLocalFile());
    return out;
}

// ------------------------------------------------------------------ indicator

DropIndicator::DropIndicator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DropIndicator"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

QString DropIndicator::Text() const
{
    if (m_count == 0)
        return QStringLiteral("No videos to add here");
    return m_count == 1 ? QStringLiteral("Drop to add it to the task list")
                        : QStringLiteral("Drop to add %1 items to the task list").arg(m_count);
}

void DropIndicator::ShowFor(const QRect& listArea, int landingY, int count)
{
    // Called on every move of the drag: a repaint (of the list under it too) only on a change.
    if (isVisible() && geometry() == listArea && m_landingY == landingY && m_count == count)
        return;
    m_count = count;
    setGeometry(listArea);
    m_landingY = landingY;
    show();
    raise();
    update();
}

void DropIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor fill = accent;
    fill.setAlpha(40);
    p.setBrush(fill);
    QPen frame(accent, 2, Qt::DashLine);
    p.setPen(frame);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    // The line where the new rows go, with a mark at its start.
    const int y = std::clamp(m_landingY - this->y(), 4, height() - 4);
    p.setPen(QPen(accent, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, y), QPointF(width() - 14, y));
    p.setBrush(accent);
    p.drawEllipse(QPointF(10, y), 4, 4);
    // What will happen, in the middle of the free space.
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    const QRect textBox(0, std::min(y + 8, height() - 40), width(), 32);
    const QString text = Text();
    const int w = p.fontMetrics().horizontalAdvance(text) + 24;
    const QRect pill(textBox.center().x() - w / 2, textBox.top(), w, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRoundedRect(pill, 14, 14);
    p.setPen(palette().color(QPalette::HighlightedText));
    p.drawText(pill, Qt::AlignCenter, text);
}

// ------------------------------------------------------------------ handler

TaskDropHandler::TaskDropHandler(TfrmMain* window) : QObject(window), m_window(window)
{
    m_indicator = new DropIndicator(window);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

QRect TaskDropHandler::ListArea() const
{
    // The list's place, also while it is still hidden (an empty list).
    return m_window->NodeTree->geometry();
}

int TaskDropHandler::LandingY() const
{
    const QRect area = ListArea();
    TaskListView* view = m_window->TaskView;
    if (!m_window->NodeTree->isVisible() || !view || m_window->Tasks->topLevelCount() == 0)
        return area.top() + (view ? view->header()->height() : 0) + 2;
    // The last shown row: the last top-level row, or its last open child.
    QModelIndex last = m_window->Tasks->index(m_window->Tasks->topLevelCount() - 1, 0);
    while (view->isExpanded(last) && m_window->Tasks->rowCount(last) > 0)
        last = m_window->Tasks->index(m_window->Tasks->rowCount(last) - 1, 0, last);
    const QRect r = view->visualRect(last);
    const int y = r.isValid() ? view->viewport()->mapTo(m_window, r.bottomLeft()).y() + 1
                              : area.bottom() - 4;
    return std::clamp(y, area.top() + 2, area.bottom() - 2);
}

int TaskDropHandler::CountFor(const QStringList& paths)
{
    if (paths != m_countedPaths) {
        m_countedPaths = paths;
        const QStringList files = ExpandDroppedPaths(paths);
        // The files the drop would take: each probed as adding probes it (headers only), unless
        // there are so many that the drag would stall; then the names tell.
        constexpr int kProbedAtMost = 32;
        if (files.size() > kProbedAtMost) {
            m_count = int(files.size());
        } else {
            m_count = 0;
            for (const QString& f : files)
                if (rm::converter::isSupportFormat(f.toUtf8().constData()) == rm::converter::kProbeOk)
                    ++m_count;
        }
    }
    return m_count;
}

bool TaskDropHandler::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        const QStringList paths = LocalPathsOf(e->mimeData());
        if (paths.isEmpty()) {
            e->ignore();
            m_indicator->hide();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        m_indicator->ShowFor(ListArea(), LandingY(), CountFor(paths));
        return true;
    }
    case QEvent::DragLeave:
        m_indicator->hide();
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        m_indicator->hide();
        const QStringList paths = LocalPathsOf(e->mimeData());
        if (paths.isEmpty()) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        // Added once the drag has ended: the source program is not kept waiting by the probe or
        // by a message box.
        QPointer<TfrmMain> window = m_window;
        QTimer::singleShot(0, m_window, [window, paths] {
            if (window)
                window->AddPaths(paths);
        });
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rm::ui
