#include "progress_bar.h"

#include <algorithm>

namespace lensporttool {
namespace {
constexpr int kBarWidth = 30;
constexpr int kLogStep = 25;
} // namespace

std::string RenderProgressBar(int percent, int width) {
    const int p = std::clamp(percent, 0, 100);
    const int filled = width * p / 100;
    std::string bar = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "] ";
    const std::string number = std::to_string(p);
    return bar + std::string(3 - number.size(), ' ') + number + "%";
}

ProgressBar::ProgressBar(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

void ProgressBar::Start(const std::string& label) {
    Finish();
    label_ = label;
    shown_ = -1;
    Update(0);
}

void ProgressBar::Update(int percent) {
    const int p = std::clamp(percent, 0, 100);
    if (p == shown_) return;
    // Without a terminal only the quarters are written, each on its own line.
    if (!terminal_ && shown_ >= 0 && p / kLogStep == shown_ / kLogStep) return;
    Draw(p);
}

void ProgressBar::Draw(int percent) {
    shown_ = percent;
    const std::string text = RenderProgressBar(percent, kBarWidth) + " " + label_;
    if (terminal_) {
        std::fprintf(out_, "\r%s", text.c_str());
        open_ = true;
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

void ProgressBar::Finish() {
    if (open_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    open_ = false;
}

} // namespace lensporttool
