#include "ui/app/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace rm::ui {

namespace {
BoxAnswerer g_answerer;
}

void SetBoxAnswerer(BoxAnswerer answerer) { g_answerer = std::move(answerer); }

void ShowMessage(QWidget* owner, const QString& text)
{
    if (g_answerer) {
        g_answerer({BoxKind::Message, QString(), text, owner});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool AskInformation(QWidget* owner, const QString& text)
{
    const QString caption = QStringLiteral("Information");
    if (g_answerer)
        return g_answerer({BoxKind::Question, caption, text, owner});
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

void ShowError(QWidget* owner, const QString& caption, const QString& text)
{
    if (g_answerer) {
        g_answerer({BoxKind::Error, caption, text, owner});
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace rm::ui
