#include "model/edit_summary.h"

namespace rm {

QStringList DescribeEdits(const MediaItem& item)
{
    QStringList out;
    if (const CropSettings* c = item.crop.get()) {
        if (c->top || c->bottom || c->left || c->right)
            out << QStringLiteral("Crop: top %1, bottom %2, left %3, right %4")
                       .arg(c->top)
                       .arg(c->bottom)
                       .arg(c->left)
                       .arg(c->right);
        const QString zoom = QString::fromLatin1(c->zoom, int(qstrnlen(c->zoom, sizeof c->zoom)));
        if (!zoom.isEmpty() && zoom != QLatin1String("original"))
            out << QStringLiteral("Zoom: %1").arg(zoom);
    }
    if (const EffectSettings* e = item.effects.get()) {
        if (e->brightness)
            out << QStringLiteral("Brightness: %1").arg(e->brightness);
        if (e->contrast)
            out << QStringLiteral("Contrast: %1").arg(e->contrast);
        if (e->saturation)
            out << QStringLiteral("Saturation: %1").arg(e->saturation);
        if (e->horizontalFlip)
            out << QStringLiteral("Flip: horizontal");
        if (e->verticalFlip)
            out << QStringLiteral("Flip: vertical");
        static const char* const effects[] = {"", "Gray", "Emboss", "Old film"};
        if (e->colourEffect > 0 && e->colourEffect < 4)
            out << QStringLiteral("Effect: %1").arg(QLatin1String(effects[e->colourEffect]));
        if (e->volume != 255)
            out << QStringLiteral("Volume: %1%").arg(qRound(e->volume * 100.0 / 255.0));
    }
    return out;
}

} // namespace rm
