#pragma once
// The message log shown in the expanded view. The engine and the device checks put their lines
// in front, routing appends at the end; all keep it to kLimit characters.
#include <cstdint>
#include <string>
#include <string_view>

namespace vantaro {

class MessageLog {
public:
    // Told of every line as it is added, before any cut; for tools that print the log as a stream.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void lineAdded(std::string_view line) = 0;
    };

    static constexpr std::size_t kLimit = 3000;
    enum class Caret { Start, End };

    MessageLog() { text_.reserve(kLimit + 256); }

    // Line plus CR LF in front; the text is then cut to its first kLimit characters.
    void prependLine(std::string_view line);
    // Line plus CR LF at the end; the text is then cut to its last kLimit characters.
    void appendLine(std::string_view line);
    void clear();
    void setListener(Listener* listener) { listener_ = listener; }

    const std::string& text() const { return text_; }
    Caret caret() const { return caret_; }
    // Bumped on every change, so a view can refresh only when something changed.
    std::uint64_t revision() const { return revision_; }

private:
    std::string text_;
    Caret caret_ = Caret::Start;
    std::uint64_t revision_ = 0;
    Listener* listener_ = nullptr;
};

} // namespace vantaro
