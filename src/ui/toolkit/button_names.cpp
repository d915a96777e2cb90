#include "ui/toolkit/button_names.h"

#include "ui/toolkit/image_button.h"

#include <QHash>
#include <QWidget>

namespace rm::ui {

QString ButtonPurpose(const QString& controlName)
{
    static const QHash<QString, QString> purposes = {
        {QStringLiteral("addFile"), QStringLiteral("Add Video")},
        {QStringLiteral("customize"), QStringLiteral("Customize")},
        {QStringLiteral("option"), QStringLiteral("Options")},
        {QStringLiteral("addDVD"), QStringLiteral("Load DVD Folder")},
        {QStringLiteral("addDVDList"), QStringLiteral("More DVD sources")},
        {QStringLiteral("btnHelp"), QStringLiteral("Help")},
        {QStringLiteral("btnMenu"), QStringLiteral("Menu")},
        {QStringLiteral("btnMini"), QStringLiteral("Minimize")},
        {QStringLiteral("close"), QStringLiteral("Close")},
        {QStringLiteral("btnClose"), QStringLiteral("Close")},
        {QStringLiteral("edit"), QStringLiteral("Crop and effects")},
        {QStringLiteral("clip"), QStringLiteral("Trim")},
        {QStringLiteral("merge"), QStringLiteral("Merge")},
        {QStringLiteral("slide"), QStringLiteral("Slide")},
        {QStringLiteral("btnPlay"), QStringLiteral("Play or pause")},
        {QStringLiteral("btnPause"), QStringLiteral("Pause")},
        {QStringLiteral("btnStop"), QStringLiteral("Stop")},
        {QStringLiteral("btnReplay"), QStringLiteral("Play from the start")},
        {QStringLiteral("btnPhoto"), QStringLiteral("Snapshot")},
        {QStringLiteral("btnOpen"), QStringLiteral("Open snapshot folder")},
        {QStringLiteral("btnConvert"), QStringLiteral("Convert")},
        {QStringLiteral("Open_img"), QStringLiteral("Browse...")},
        {QStringLiteral("btnOpenpath"), QStringLiteral("Find target")},
        {QStringLiteral("btnOK"), QStringLiteral("OK")},
        {QStringLiteral("btnCancel"), QStringLiteral("Cancel")},
        {QStringLiteral("tabCrop"), QStringLiteral("Crop")},
        {QStringLiteral("tabEffect"), QStringLiteral("Effect")},
        {QStringLiteral("btnCropReset"), QStringLiteral("Reset crop")},
        {QStringLiteral("btnEffectReset"), QStringLiteral("Reset effects")},
        {QStringLiteral("btnLevel"), QStringLiteral("Flip horizontally")},
        {QStringLiteral("btnVertical"), QStringLiteral("Flip vertically")},
        {QStringLiteral("btnPre"), QStringLiteral("Previous title")},
        {QStringLiteral("btnNext"), QStringLiteral("Next")},
        {QStringLiteral("btnBack"), QStringLiteral("Back")},
        {QStringLiteral("btnGeneral"), QStringLiteral("General")},
        {QStringLiteral("btnFormat"), QStringLiteral("Snapshot format")},
        {QStringLiteral("btnSnappath"), QStringLiteral("Choose snapshot folder")},
        {QStringLiteral("start_trimtime_ok"), QStringLiteral("Use the typed start time")},
        {QStringLiteral("end_trimtime_ok"), QStringLiteral("Use the typed end time")},
        {QStringLiteral("btnPlayTrim"), QStringLiteral("Play the segment")},
        {QStringLiteral("btnTrimStart"), QStringLiteral("Start the segment here")},
        {QStringLiteral("btnTrimEnd"), QStringLiteral("End the segment here")},
        {QStringLiteral("btnAdd"), QStringLiteral("Add segment")},
        {QStringLiteral("btnDelete"), QStringLiteral("Delete segment")},
        {QStringLiteral("btnPlayer"), QStringLiteral("Player")},
        {QStringLiteral("btnLoad"), QStringLiteral("Preloader")},
        {QStringLiteral("btnDecorate"), QStringLiteral("Decoration")},
        {QStringLiteral("btnHead"), QStringLiteral("Opening credits")},
        {QStringLiteral("btnTail"), QStringLiteral("Closing credits")},
        {QStringLiteral("btnOption"), QStringLiteral("Player options")},
    };
    return purposes.value(controlName);
}

namespace {

void Describe(ImageButton* b)
{
    QString name = b->text().trimmed();
    if (name.isEmpty())
        name = b->toolTip();
    if (name.isEmpty())
        name = ButtonPurpose(b->objectName());
    if (name.isEmpty()) {
        // A control the table does not know (a gallery tile): its name, in words.
        name = b->objectName();
        if (name.startsWith(QLatin1String("btn")))
            name = name.mid(3);
    }
    if (b->toolTip().isEmpty())
        b->setToolTip(name);
    if (b->accessibleName().isEmpty())
        b->setAccessibleName(name);
}

} // namespace

void DescribeImageButtons(QWidget* root)
{
    if (!root)
        return;
    if (auto* b = qobject_cast<ImageButton*>(root))
        Describe(b);
    for (ImageButton* b : root->findChildren<ImageButton*>())
        Describe(b);
}

} // namespace rm::ui
