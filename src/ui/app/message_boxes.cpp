#include "ui/app/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <vector>

namespace rm::ui {

namespace {
BoxAnswerer g_answerer;

// The questions on screen (nested loops can stack them), so that they can be withdrawn.
struct OpenQuestion {
    const QWidget* owner = nullptr;
    QPointer<QMessageBox> box;
    bool withdrawn = false;
};
std::vector<OpenQuestion*> g_openQuestions;
QRect g_withdrawnArea;

class OpenQuestionScope {
public:
    explicit OpenQuestionScope(OpenQuestion& q) : m_q(q) { g_openQuestions.push_back(&q); }
    ~OpenQuestionScope() { std::erase(g_openQuestions, &m_q); }

private:
    OpenQuestion& m_q;
};
} // namespace

void SetBoxAnswerer(BoxAnswerer answerer) { g_answerer = std::move(answerer); }

void ShowMessage(QWidget* owner, const QString& text)
{
    if (g_answerer) {
        g_answerer({BoxKind::Message, QString(), text, owner, QString()});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool ShowMessageOffering(QWidget* owner, const QString& text, const QString& choice)
{
    if (g_answerer)
        return g_answerer({BoxKind::Message, QString(), text, owner, choice});
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    QPushButton* chosen = box.addButton(choice, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == chosen;
}

bool AskInformation(QWidget* owner, const QString& text)
{
    const QString caption = QStringLiteral("Information");
    OpenQuestion question;
    question.owner = owner;
    OpenQuestionScope scope(question);
    if (g_answerer) {
        const bool yes = g_answerer({BoxKind::Question, caption, text, owner, QString()});
        return yes && !question.withdrawn;
    }
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    question.box = &box;
    const int answer = box.exec();
    return answer == QMessageBox::Yes && !question.withdrawn;
}

void DismissQuestions(QWidget* owner)
{
    for (OpenQuestion* q : g_openQuestions) {
        if (owner && q->owner != owner)
            continue;
        q->withdrawn = true;
        if (q->box) {
            if (q->box->isVisible())
                g_withdrawnArea = q->box->frameGeometry();
            q->box->done(QMessageBox::No);
        }
    }
}

bool QuestionOpen(const QWidget* owner)
{
    for (const OpenQuestion* q : g_openQuestions)
        if (q->owner == owner && !q->withdrawn)
            return true;
    return false;
}

bool AnyQuestionOpen()
{
    for (const OpenQuestion* q : g_openQuestions)
        if (!q->withdrawn)
            return true;
    return false;
}

QRect WithdrawnQuestionArea() { return g_withdrawnArea; }

void ShowError(QWidget* owner, const QString& caption, const QString& text)
{
    if (g_answerer) {
        g_answerer({BoxKind::Error, caption, text, owner, QString()});
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace rm::ui
