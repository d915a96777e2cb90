#include "ui/convert/power_off_countdown.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace rm::ui {

PowerOffCountdown::PowerOffCountdown(int seconds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_seconds(std::max(1, seconds)), m_left(m_seconds)
{
    setObjectName(QStringLiteral("PowerOffCountdown"));
    setWindowTitle(QStringLiteral("Shutdown Computer"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("CountdownText"));
    QFont f = m_text->font();
    f.setBold(true);
    m_text->setFont(f);
    layout->addWidget(m_text);
    auto* note = new QLabel(QStringLiteral("All conversion tasks have finished. Save your work in other programs, "
                                           "or cancel to keep the computer on."),
                            this);
    note->setWordWrap(true);
    // The wrapped note at the box's width, exactly as tall as its lines: the box ends under its
    // buttons at every scale.
    note->setFixedWidth(note->fontMetrics().averageCharWidth() * 56);
    note->setFixedHeight(note->heightForWidth(note->width()));
    layout->addWidget(note);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, m_seconds);
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    auto* buttons = new QDialogButtonBox(this);
    m_now = buttons->addButton(QStringLiteral("Power off now"), QDialogButtonBox::AcceptRole);
    m_now->setObjectName(QStringLiteral("PowerOffNow"));
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_cancel->setObjectName(QStringLiteral("CancelPowerOff"));
    // Enter keeps the computer on: powering off is never the accidental choice.
    m_cancel->setDefault(true);
    m_cancel->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &PowerOffCountdown::Tick);
    connect(this, &QDialog::finished, m_timer, &QTimer::stop);
    ShowLeft();
    m_timer->start();
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString PowerOffCountdown::Text() const { return m_text->text(); }

void PowerOffCountdown::ShowLeft()
{
    m_text->setText(m_left == 1 ? QStringLiteral("The computer will power off in 1 second.")
                                : QStringLiteral("The computer will power off in %1 seconds.").arg(m_left));
    m_bar->setValue(m_seconds - m_left);
}

void PowerOffCountdown::Tick()
{
    m_left = std::max(0, m_left - 1);
    ShowLeft();
    if (m_left == 0)
        accept();
}

} // namespace rm::ui
