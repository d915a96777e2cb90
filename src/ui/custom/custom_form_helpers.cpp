#include "ui/custom/custom_form_internal.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace rm::ui::wizard_ui {

TfrmCustom::FileChooser g_fileChooser;
TfrmCustom::FontChooser g_fontChooser;
TfrmCustom::MessageShower g_messageShower;
bool g_previewEnabled = true;

// Pages of more templates (the product's own site).
const char* const kMorePages[3] = {"https://www.orvane.example/templates/players.html",
                                   "https://www.orvane.example/templates/effects.html",
                                   "https://www.orvane.example/templates/preloaders.html"};

const char* const kJpegFilter = "JPEG Image File (*.jpg)|*.jpg";

QString ChooseFile(QWidget* parent, const QString& filter)
{
    if (g_fileChooser)
        return g_fileChooser(filter);
    // "Description|pattern" as the file dialog wants it: "Description (pattern)".
    const QString qtFilter = filter.section(QLatin1Char('|'), 0, 0);
    return QFileDialog::getOpenFileName(parent, QString(), QDir::currentPath(), qtFilter);
}

CreditFontDialog::CreditFontDialog(const TfrmCustom::FontChoice& initial, QWidget* parent)
    : QDialog(parent), m_color(initial.color.isValid() ? initial.color : QColor(Qt::black))
{
    setObjectName(QStringLiteral("creditFontDialog"));
    setWindowTitle(QStringLiteral("Font"));
    auto* form = new QFormLayout(this);
    face = new QComboBox(this);
    face->setObjectName(QStringLiteral("face"));
    face->addItems(FontList());
    if (!initial.face.isEmpty() && face->findText(initial.face) < 0)
        face->addItem(initial.face);  // a stored face this machine lacks stays choosable
    face->setCurrentIndex(std::max(0, face->findText(initial.face)));
    size = new QSpinBox(this);
    size->setObjectName(QStringLiteral("size"));
    size->setRange(1, 200);
    size->setValue(std::clamp(initial.size, 1, 200));
    color = new QPushButton(this);
    color->setObjectName(QStringLiteral("color"));
    ShowColor();
    connect(color, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(m_color, this, QString::fromLatin1(kCreditColorCaption));
        if (c.isValid()) {
            m_color = c;
            ShowColor();
        }
    });
    form->addRow(QStringLiteral("Font :"), face);
    form->addRow(QStringLiteral("Size :"), size);
    form->addRow(QStringLiteral("Colour :"), color);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

void CreditFontDialog::ShowColor()
{
    QPixmap swatch(28, 14);
    swatch.fill(m_color);
    QPainter(&swatch).drawRect(0, 0, 27, 13);
    color->setIcon(QIcon(swatch));
    color->setText(QStringLiteral("Colour ..."));
}

TfrmCustom::FontChoice CreditFontDialog::Choice() const
{
    return TfrmCustom::FontChoice{face->currentText(), size->value(), m_color};
}

bool ChooseFont(QWidget* parent, TfrmCustom::FontChoice& f)
{
    if (g_fontChooser)
        return g_fontChooser(f);
    // Face, size and colour: what a credit or decoration stores (no styles or effects).
    CreditFontDialog dialog(f, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    f = dialog.Choice();
    return true;
}

QColor ToQColor(const RgbColor& c) { return QColor(c.red & 255, c.green & 255, c.blue & 255); }
RgbColor FromQColor(const QColor& c) { return RgbColor{c.red(), c.green(), c.blue()}; }

// The colour boxes: the sixteen standard colours, any other colour shown, and "Custom ...".
void FillColorBox(QComboBox* box)
{
    static const std::pair<const char*, QRgb> colors[] = {
        {"Black", 0x000000}, {"Maroon", 0x800000}, {"Green", 0x008000}, {"Olive", 0x808000},
        {"Navy", 0x000080},  {"Purple", 0x800080}, {"Teal", 0x008080},  {"Gray", 0x808080},
        {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},   {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
        {"Blue", 0x0000FF},  {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF}, {"White", 0xFFFFFF}};
    for (const auto& [name, rgb] : colors) {
        QPixmap swatch(14, 14);
        swatch.fill(QColor(rgb));
        QPainter(&swatch).drawRect(0, 0, 13, 13);
        box->addItem(QIcon(swatch), QString::fromLatin1(name), QColor(rgb));
    }
    box->addItem(QStringLiteral("Custom ..."));
}

void SetBoxColor(QComboBox* box, const QColor& c)
{
    for (int i = 0; i < box->count(); ++i) {
        const QVariant v = box->itemData(i);
        if (v.isValid() && v.value<QColor>() == c) {
            box->setCurrentIndex(i);
            return;
        }
    }
    QPixmap swatch(14, 14);
    swatch.fill(c);
    QPainter(&swatch).drawRect(0, 0, 13, 13);
    box->insertItem(box->count() - 1, QIcon(swatch), c.name(), c);
    box->setCurrentIndex(box->count() - 2);
}

QColor BoxColor(const QComboBox* box)
{
    const QVariant v = box->currentData();
    return v.isValid() ? v.value<QColor>() : QColor(Qt::black);
}

void ClearRadios(QRadioButton* a, QRadioButton* b)
{
    a->setAutoExclusive(false);
    b->setAutoExclusive(false);
    a->setChecked(false);
    b->setChecked(false);
    a->setAutoExclusive(true);
    b->setAutoExclusive(true);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect r)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    return l;
}

QString CleanPath(QString p)
{
    p.remove(QLatin1Char('\r'));
    p.remove(QLatin1Char('\n'));
    return p.trimmed();
}

} // namespace rm::ui::wizard_ui
