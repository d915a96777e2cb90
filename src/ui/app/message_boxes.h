#pragma once
// The program's message boxes: plain messages, the Yes/No questions captioned "Information" with
// a warning icon, and the error box of a refused shutdown. They go through one place so that
// tests can answer them without a modal loop.

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
};

// Returns true for Yes (questions); the value is ignored for messages and errors.
using BoxAnswerer = std::function<bool(const BoxRequest&)>;
// Replaces the real boxes (tests); an empty function brings them back.
void SetBoxAnswerer(BoxAnswerer answerer);

// A plain message box with an OK button.
void ShowMessage(QWidget* owner, const QString& text);
// "Information", Yes and No, warning icon. True for Yes.
bool AskInformation(QWidget* owner, const QString& text);
// An error box with its own caption (no owner window when owner is null).
void ShowError(QWidget* owner, const QString& caption, const QString& text);

} // namespace rm::ui
