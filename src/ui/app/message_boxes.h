#pragma once
// The program's message boxes: plain messages, the Yes/No questions captioned "Information" with
// a warning icon, and the error box of a refused shutdown. They go through one place so that
// tests can answer them without a modal loop.

#include <QRect>
#include <QString>
#include <functional>

class QWidget;

namespace rm::ui {

enum class BoxKind { Message, Question, Error };

struct BoxRequest {
    BoxKind kind = BoxKind::Message;
    QString caption;   // empty for a plain message (the application's name is shown)
    QString text;
    QWidget* owner = nullptr;
    QString choice;    // a message's second button beside OK, or empty
};

// Returns true for Yes (questions) or for a message's choice; ignored for other messages and errors.
using BoxAnswerer = std::function<bool(const BoxRequest&)>;
// Replaces the real boxes (tests); an empty function brings them back.
void SetBoxAnswerer(BoxAnswerer answerer);

// A plain message box with an OK button.
void ShowMessage(QWidget* owner, const QString& text);
// A plain message with OK and a second button named choice. True when choice was pressed.
bool ShowMessageOffering(QWidget* owner, const QString& text, const QString& choice);
// "Information", Yes and No, warning icon. True for Yes; false as well when the question was
// withdrawn (DismissQuestions) before it was answered.
bool AskInformation(QWidget* owner, const QString& text);
// Withdraws the questions open for this owner (all of them for null): they close as if answered
// No. For a question whose subject has gone, such as cancelling a run that has just ended.
void DismissQuestions(QWidget* owner);
// Whether a question for this owner is open and not withdrawn.
bool QuestionOpen(const QWidget* owner);
// Whether any question is open, whoever owns it.
bool AnyQuestionOpen();
// Where the last withdrawn question box was on the screen (global; empty when none was shown).
QRect WithdrawnQuestionArea();
// An error box with its own caption (no owner window when owner is null).
void ShowError(QWidget* owner, const QString& caption, const QString& text);

} // namespace rm::ui
