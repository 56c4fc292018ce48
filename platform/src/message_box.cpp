// Message boxes: the test answerer, a QMessageBox on the GUI thread (workers hop to it and
// keep serving their own sent messages meanwhile), or stderr when there is no GUI.
#include "window_internal.h"

#include "platform/dialogs.h"

#include <QMessageBox>

#include <cstdio>
#include <vector>

namespace platform::detail {
namespace {

struct Button {
    QMessageBox::StandardButton qt;
    int id;
};

struct ButtonSet {
    UINT type;
    std::vector<Button> buttons; // in dialog order
};

const std::vector<ButtonSet>& ButtonSets() {
    using QB = QMessageBox;
    static const std::vector<ButtonSet> sets{
        {MB_OK, {{QB::Ok, IDOK}}},
        {MB_OKCANCEL, {{QB::Ok, IDOK}, {QB::Cancel, IDCANCEL}}},
        {MB_ABORTRETRYIGNORE, {{QB::Abort, IDABORT}, {QB::Retry, IDRETRY}, {QB::Ignore, IDIGNORE}}},
        {MB_YESNOCANCEL, {{QB::Yes, IDYES}, {QB::No, IDNO}, {QB::Cancel, IDCANCEL}}},
        {MB_YESNO, {{QB::Yes, IDYES}, {QB::No, IDNO}}},
        {MB_RETRYCANCEL, {{QB::Retry, IDRETRY}, {QB::Cancel, IDCANCEL}}},
    };
    return sets;
}

// Unknown button types show OK, as the smallest safe choice.
const ButtonSet& ButtonsOf(UINT type) {
    for (const auto& set : ButtonSets()) {
        if (set.type == (type & MB_TYPEMASK)) return set;
    }
    return ButtonSets().front();
}

const Button& DefaultButton(UINT type) {
    const auto& buttons = ButtonsOf(type).buttons;
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0];
}

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Closing the box without a button (Escape, the window's close) answers Cancel when the
// box has it, else its default button.
int DismissedAnswer(UINT type) {
    for (const auto& button : ButtonsOf(type).buttons) {
        if (button.id == IDCANCEL) return IDCANCEL;
    }
    return DefaultButton(type).id;
}

int ShowDialog(HWND owner, const platform::MessageBoxCall& call) {
    QMessageBox box(IconOf(call.type), QString::fromUtf8(call.caption),
                    QString::fromUtf8(call.text), QMessageBox::NoButton, WidgetFromHandle(owner));
    for (const auto& button : ButtonsOf(call.type).buttons)
        box.addButton(button.qt);
    box.setDefaultButton(DefaultButton(call.type).qt);
    box.exec();
    const auto chosen = box.standardButton(box.clickedButton());
    for (const auto& button : ButtonsOf(call.type).buttons) {
        if (button.qt == chosen) return button.id;
    }
    return DismissedAnswer(call.type);
}

std::mutex& AnswererMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<platform::MessageBoxAnswerer>& Answerer() {
    static std::shared_ptr<platform::MessageBoxAnswerer> answerer;
    return answerer;
}

std::shared_ptr<platform::MessageBoxAnswerer> CurrentAnswerer() {
    std::lock_guard lock(AnswererMutex());
    return Answerer();
}

} // namespace
} // namespace platform::detail

using namespace platform::detail;

void platform::SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    std::lock_guard lock(AnswererMutex());
    Answerer() = answerer ? std::make_shared<MessageBoxAnswerer>(std::move(answerer)) : nullptr;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    const platform::MessageBoxCall call{text != nullptr ? text : "",
                                        caption != nullptr ? caption : "Error", type};
    if (auto answerer = CurrentAnswerer()) return (*answerer)(call);
    if (!platform::GuiAvailable()) {
        std::fprintf(stderr, "%s: %s\n", call.caption.c_str(), call.text.c_str());
        return DefaultButton(type).id;
    }
    return static_cast<int>(
        RunOnGuiThreadBlocking([owner, call]() -> LRESULT { return ShowDialog(owner, call); }));
}
