#include "ui/dialogs/pro_form.h"

#include "model/media_item.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

namespace rm::ui {

TfrmPro::TfrmPro(QWidget* parent)
    : SkinnedForm(QStringLiteral("properties"), QStringLiteral("pro/"), QStringLiteral("proFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmPro"));
    proPanel = AddBackground(QStringLiteral("proPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Properties"));

    // The facts, on the theme's card; themes without a "proInfo" element keep this place.
    proInfo = new QWidget(this);
    proInfo->setObjectName(QStringLiteral("proInfo"));
    proInfo->setGeometry(20, 52, 380, 336);
    AddPlacedControl(proInfo, QStringLiteral("proInfo"));

    auto heading = [this](const char* name, const char* text, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), proInfo);
        l->setObjectName(QString::fromLatin1(name));
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        l->setGeometry(20, y, 340, 22);
        return l;
    };
    auto field = [this](const char* labelName, const char* caption, const char* name, int y) {
        auto* l = new QLabel(QString::fromLatin1(caption), proInfo);
        l->setObjectName(QString::fromLatin1(labelName));
        l->setGeometry(34, y, 100, 26);
        auto* e = new QLineEdit(proInfo);
        e->setObjectName(QString::fromLatin1(name));
        e->setReadOnly(true);
        e->setGeometry(138, y, 222, 26);
        return e;
    };
    Label1 = heading("Label1", "Video Information:", 12);
    Text_N = field("Lab_N", "Name", "Text_N", 40);
    Text_L = field("Lab_L", "Length", "Text_L", 72);
    Text_R = field("Lab_R", "Resolution", "Text_R", 104);
    Text_vb = field("video_bitrate", "Bit Rate", "Text_vb", 136);
    Text_F = field("Lab_F", "Frame Rate", "Text_F", 168);
    Label2 = heading("Label2", "Video Information :", 206);
    Text_S = field("Lab_S", "Sample Rate", "Text_S", 234);
    Text_C = field("Lab_C", "Channel", "Text_C", 266);
    Text_AB = field("audio_bitrate", "Bit Rate", "Text_AB", 298);

    btnClose = new ImageButton(this, QStringLiteral("btnClose"));
    AddButton(btnClose, QStringLiteral("btnClose"));
    btnOK = new ImageButton(this, QStringLiteral("btnOK"));
    AddButton(btnOK, QStringLiteral("btnOK"));
    connect(btnClose, &QAbstractButton::clicked, this, &TfrmPro::btnOKClick);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmPro::btnOKClick);
    BuildSkin();
}

void TfrmPro::SetItem(const rm::MediaItem& item)
{
    m_name = QString::fromUtf8(item.outputBaseName);
    m_length = QString::fromUtf8(item.row.originalLength);
    if (item.media)
        m_media = *item.media;
    else
        m_media = rm::converter::MediaInfo{};
}

int TfrmPro::ShowProperties(const rm::MediaItem& item)
{
    SetItem(item);
    return exec();
}

// The stored size, and beside it the size it is shown at when that differs (pixels that are not
// square, a picture recorded sideways): 720x576 (shown 1024x576).
QString TfrmPro::ResolutionText(const rm::converter::MediaInfo& media)
{
    QString text = QStringLiteral("%1x%2").arg(media.width).arg(media.height);
    int w = 0, h = 0;
    rm::converter::DisplaySizeOf(media, w, h);
    if (w > 0 && h > 0 && (w != media.width || h != media.height))
        text += QStringLiteral(" (shown %1x%2)").arg(w).arg(h);
    return text;
}

QStringList TfrmPro::PropertyTexts(const QString& name, const QString& lengthText,
                                   const rm::converter::MediaInfo& media)
{
    // A source the engine read and found no sound in says so, rather than "0 Hz".
    const bool silent = media.probed && media.videoStream >= 0 && media.audioStream < 0;
    const QString noSound = QStringLiteral("No sound");
    return {
        name,
        lengthText,
        ResolutionText(media),
        QStringLiteral("%1 kbps").arg(media.videoBitrate),
        QString::asprintf("%.2f fps", static_cast<double>(media.frameRate)),
        silent ? noSound : QStringLiteral("%1 Hz").arg(media.sampleRate),
        silent ? noSound : QStringLiteral("%1 Channel").arg(media.channels),
        silent ? noSound : QStringLiteral("%1 kbps").arg(media.audioBitrate),
    };
}

void TfrmPro::FormShow()
{
    const QStringList texts = PropertyTexts(m_name, m_length, m_media);
    QLineEdit* const fields[] = {Text_N, Text_L, Text_R, Text_vb, Text_F, Text_S, Text_C, Text_AB};
    for (int i = 0; i < 8; ++i) {
        fields[i]->setText(texts[i]);
        fields[i]->setCursorPosition(0); // long names show their beginning
    }
}

void TfrmPro::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

} // namespace rm::ui
