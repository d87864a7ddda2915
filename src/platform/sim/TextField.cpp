#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimServices.h"
#include "unicode/UnicodeText.h"

#include <algorithm>
#include <utility>

namespace quillo::sim {

namespace {

namespace key = platform::key;
namespace flag = platform::flag;

bool isLeadSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isTrailSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Keys such as Escape or F5 deliver control or function-key characters; an application types
// none of them into the text.
bool typesNothing(char16_t unit) {
    return unit < 0x20 || unit == 0x7F || (unit >= 0xF700 && unit <= 0xF7FF);
}

// The character index of a byte offset; an offset inside a character counts as after it, where
// the insertion point of a real field lands when what was typed joins the next character.
std::size_t characterAt(const std::vector<std::size_t>& boundaries, std::size_t offset) {
    auto at = std::lower_bound(boundaries.begin(), boundaries.end(), offset);
    if (at == boundaries.end()) {
        return boundaries.size() - 1;
    }
    return static_cast<std::size_t>(at - boundaries.begin());
}

} // namespace

std::string TextField::selectedText() const {
    const auto boundaries = unicode::graphemeBoundaries(text_);
    const std::size_t start = boundaries[cursor_ - selectionLength_];
    return text_.substr(start, boundaries[cursor_] - start);
}

void TextField::reset(std::string text, std::size_t selectedCharacters) {
    text_ = std::move(text);
    cursor_ = unicode::graphemeCount(text_);
    selectionLength_ = std::min(selectedCharacters, cursor_);
    pendingLeadSurrogate_ = 0;
}

void TextField::place(std::size_t cursor, std::size_t selectedCharacters) {
    cursor_ = std::min(cursor, unicode::graphemeCount(text_));
    selectionLength_ = std::min(selectedCharacters, cursor_);
    pendingLeadSurrogate_ = 0;
}

void TextField::replace(std::size_t from, std::size_t to, std::string_view utf8) {
    const auto before = unicode::graphemeBoundaries(text_);
    const std::size_t start = before[from];
    text_.replace(start, before[to] - start, utf8);
    cursor_ = characterAt(unicode::graphemeBoundaries(text_), start + utf8.size());
    selectionLength_ = 0;
}

void TextField::insertUnits(char16_t lead, std::u16string_view units) {
    if (std::any_of(units.begin(), units.end(), typesNothing)) {
        return;
    }
    // An input method may type a character outside the BMP as two events of one unit each.
    std::u16string whole;
    for (char16_t unit : units) {
        if (lead != 0) {
            if (isTrailSurrogate(unit)) {
                whole += lead;
                whole += unit;
                lead = 0;
                continue;
            }
            lead = 0;
        }
        if (isLeadSurrogate(unit)) {
            lead = unit;
        } else if (!isTrailSurrogate(unit)) {
            whole += unit;
        }
    }
    pendingLeadSurrogate_ = lead;
    if (!whole.empty()) {
        replace(cursor_ - selectionLength_, cursor_, unicode::toUtf8(whole));
    }
}

void TextField::commit(std::string_view text) {
    pendingLeadSurrogate_ = 0;
    replace(cursor_ - selectionLength_, cursor_, text);
}

void TextField::deleteCodePoints(std::size_t count) {
    // Code points, as delete-surrounding-text counts them: a count that ends inside a character
    // leaves the rest of it, as a real program's field would.
    const std::size_t end = unicode::graphemeBoundaries(text_)[cursor_];
    std::size_t start = end;
    for (std::size_t i = 0; i < count && start > 0; ++i) {
        do {
            --start;
        } while (start > 0 && (static_cast<unsigned char>(text_[start]) & 0xC0) == 0x80);
    }
    text_.erase(start, end - start);
    cursor_ = characterAt(unicode::graphemeBoundaries(text_), start);
    selectionLength_ = 0;
    pendingLeadSurrogate_ = 0;
}

void TextField::paste(const std::optional<std::string>& text) {
    pendingLeadSurrogate_ = 0;
    if (text) {
        replace(cursor_ - selectionLength_, cursor_, *text);
    }
}

bool TextField::apply(const KeyEvent& keyDown, SimPasteboard& pasteboard, bool copies) {
    if (keyDown.type != platform::KeyEventType::keyDown) {
        return false;
    }
    // Only the very next text event can complete a half-typed character.
    const char16_t lead = std::exchange(pendingLeadSurrogate_, 0);
    const std::size_t selectionStart = cursor_ - selectionLength_;
    const bool hasSelection = selectionLength_ > 0;

    if ((keyDown.flags & flag::command) != 0) {
        if (keyDown.keyCode == key::v) {
            return true;
        }
        if (keyDown.keyCode == key::c && hasSelection && copies) {
            pasteboard.copyFromField(selectedText());
        }
        return false;
    }
    if ((keyDown.flags & flag::control) != 0) {
        return false;
    }

    switch (keyDown.keyCode) {
    case key::returnKey:
        replace(selectionStart, cursor_, "\n");
        return false;
    case key::tab:
        replace(selectionStart, cursor_, "\t");
        return false;
    case key::backspace:
        if (hasSelection) {
            replace(selectionStart, cursor_, {});
        } else if (cursor_ > 0) {
            replace(cursor_ - 1, cursor_, {});
        }
        return false;
    case key::forwardDelete:
        if (hasSelection) {
            replace(selectionStart, cursor_, {});
        } else if (cursor_ < unicode::graphemeCount(text_)) {
            replace(cursor_, cursor_ + 1, {});
        }
        return false;
    case key::leftArrow:
        cursor_ = hasSelection ? selectionStart : (cursor_ > 0 ? cursor_ - 1 : 0);
        selectionLength_ = 0;
        return false;
    case key::rightArrow:
        if (!hasSelection) {
            cursor_ = std::min(cursor_ + 1, unicode::graphemeCount(text_));
        }
        selectionLength_ = 0;
        return false;
    case key::upArrow:
        cursor_ = 0;
        selectionLength_ = 0;
        return false;
    case key::downArrow:
        cursor_ = unicode::graphemeCount(text_);
        selectionLength_ = 0;
        return false;
    default:
        insertUnits(lead, keyDown.textView());
        return false;
    }
}

} // namespace quillo::sim
