#pragma once
// The message log shown in the expanded view. The engine puts its lines in front,
// routing appends at the end; both keep it to kLimit characters.
#include <cstdint>
#include <string>
#include <string_view>

namespace vantaro {

class MessageLog {
  public:
    static constexpr std::size_t kLimit = 3000;
    enum class Caret { Start, End };

    MessageLog() { text_.reserve(kLimit + 256); }

    // Line plus CR LF in front; the text is then cut to its first kLimit characters.
    void prependLine(std::string_view line);
    // Line plus CR LF at the end; the text is then cut to its last kLimit characters.
    void appendLine(std::string_view line);
    void clear();

    const std::string& text() const { return text_; }
    Caret caret() const { return caret_; }
    // Bumped on every change, so a view can refresh only when something changed.
    std::uint64_t revision() const { return revision_; }

  private:
    std::string text_;
    Caret caret_ = Caret::Start;
    std::uint64_t revision_ = 0;
};

} // namespace vantaro
