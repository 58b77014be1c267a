#include "engine/message_log.h"

namespace vantaro {

void MessageLog::prependLine(std::string_view line) {
    if (listener_) listener_->lineAdded(line);
    // Insert in place; the reserved capacity keeps this free of allocation for short lines.
    text_.insert(0, "\r\n");
    text_.insert(0, line);
    if (text_.size() > kLimit) text_.resize(kLimit);
    caret_ = Caret::Start;
    ++revision_;
}

void MessageLog::appendLine(std::string_view line) {
    if (listener_) listener_->lineAdded(line);
    text_.append(line);
    text_.append("\r\n");
    if (text_.size() > kLimit) text_.erase(0, text_.size() - kLimit);
    caret_ = Caret::End;
    ++revision_;
}

void MessageLog::clear() {
    text_.clear();
    ++revision_;
}

} // namespace vantaro
