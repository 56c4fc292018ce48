// The transfer progress on stderr: redrawn in place on a terminal, a line per quarter
// otherwise (logs stay short).
#pragma once

#include <cstdio>
#include <string>

namespace lensporttool {

// "[##########----------]  50%" for a bar of the given inner width; percent clamped.
std::string RenderProgressBar(int percent, int width);

class ProgressBar {
public:
    ProgressBar(std::FILE* out, bool terminal);
    // A new file: the label is shown beside the bar.
    void Start(const std::string& label);
    void Update(int percent);
    // Ends the bar's line (when one was drawn).
    void Finish();

private:
    void Draw(int percent);

    std::FILE* out_;
    bool terminal_;
    std::string label_;
    int shown_ = -1;    // last percent drawn
    bool open_ = false; // a terminal line is being redrawn
};

} // namespace lensporttool
