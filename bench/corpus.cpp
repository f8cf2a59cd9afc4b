#include "corpus.h"

#include <cstdint>

#include "codes/units.h"

namespace corpus {
namespace {

// A small generator of our own, so that the texts do not depend on how a
// standard library implements its distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // lo-hi, both inclusive.
    int Between(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
    bool Percent(int p) { return Between(1, 100) <= p; }

private:
    std::uint64_t state_;
};

// The Shift-JIS code of JIS X 0208 row and cell (both 1-94).
void AppendJis(Bytes& text, int row, int cell) {
    const int j1 = row + 0x20;
    const int j2 = cell + 0x20;
    const int lead = ((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0);
    const int trail = j1 % 2 == 1 ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E;
    text.push_back(static_cast<std::uint8_t>(lead));
    text.push_back(static_cast<std::uint8_t>(trail));
}

// Builds a text character by character; a line ends with CR LF after a
// chosen number of characters.
class Writer {
public:
    Writer(Kind kind, std::uint64_t seed) : kind_(kind), random_(seed) { NewLine(); }

    void Run(std::size_t min_size) {
        while (text_.size() < min_size) Token();
    }
    Bytes Take() { return std::move(text_); }

private:
    // One word of the text's kind, cut short where the line ends.
    void Token() {
        switch (kind_) {
            case Kind::kJapanese:
                JapaneseToken();
                break;
            case Kind::kAscii:
                AsciiWord();
                break;
            case Kind::kKanji:
                Kanji();
                break;
        }
    }

    void JapaneseToken() {
        const int pick = random_.Between(1, 100);
        if (pick <= 36) {
            Repeat(random_.Between(1, 4), [this] { Hiragana(); });
        } else if (pick <= 66) {
            Repeat(random_.Between(1, 3), [this] { Kanji(); });
        } else if (pick <= 72) {
            Repeat(random_.Between(2, 5), [this] { Katakana(); });
        } else if (pick <= 78) {
            Symbol();
        } else if (pick <= 99) {
            AsciiWord();
        } else {
            Repeat(random_.Between(2, 4), [this] { Single(static_cast<std::uint8_t>(random_.Between(0xA6, 0xDF))); });
        }
    }

    template <typename F>
    void Repeat(int count, F character) {
        for (int k = 0; k < count; ++k) character();
    }

    void Hiragana() { Double(4, random_.Between(1, 83)); }
    void Katakana() { Double(5, random_.Between(1, 86)); }
    // Level 1 (rows 16-47) four times in five, else level 2 (rows 48-83).
    void Kanji() {
        if (random_.Percent(80)) {
            const int row = random_.Between(16, 47);
            Double(row, random_.Between(1, row == 47 ? 51 : 94));
        } else {
            Double(random_.Between(48, 83), random_.Between(1, 94));
        }
    }
    // Ideographic space, comma, full stop, middle dot, long vowel mark,
    // parentheses and corner brackets.
    void Symbol() {
        static const int kCells[] = {1, 2, 3, 6, 28, 42, 43, 54, 55};
        Double(1, kCells[random_.Between(0, 8)]);
    }
    // Letters and digits, then a space or a punctuation mark.
    void AsciiWord() {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        static const char kAfter[] = "      ,.;:-)('\"";
        const int length = random_.Between(2, 9);
        for (int k = 0; k < length; ++k) Single(static_cast<std::uint8_t>(kLetters[random_.Between(0, 61)]));
        Single(static_cast<std::uint8_t>(kAfter[random_.Between(0, 14)]));
    }

    void Double(int row, int cell) {
        AppendJis(text_, row, cell);
        Counted();
    }
    void Single(std::uint8_t b) {
        text_.push_back(b);
        Counted();
    }
    void Counted() {
        if (kind_ == Kind::kKanji) return;  // no line ends
        if (++in_line_ < line_length_) return;
        text_.push_back(0x0D);
        text_.push_back(0x0A);
        NewLine();
    }
    void NewLine() {
        in_line_ = 0;
        line_length_ = random_.Between(40, 80);
    }

    Kind kind_;
    Random random_;
    Bytes text_;
    int in_line_ = 0;
    int line_length_ = 0;
};

// The length of the character at i, as the conversions walk Shift-JIS
// (the text is followed by the 00 of its vector's growth, or ends there).
std::size_t CharacterWidth(const Bytes& text, std::size_t i) {
    if (i + 1 == text.size()) return 1;
    lumtrax::UnitPosition p{i, false};
    lumtrax::StepOverUnit(lumtrax::UnitRules{}, text.data(), p);
    return p.at - i;
}

}  // namespace

const char* Name(Kind kind) {
    switch (kind) {
        case Kind::kJapanese:
            return "japanese";
        case Kind::kAscii:
            return "ascii";
        case Kind::kKanji:
            return "kanji";
    }
    return "?";
}

Bytes MakeText(Kind kind, std::size_t min_size) {
    Writer writer(kind, 0x6C756D7472617800u + static_cast<std::uint64_t>(kind));
    writer.Run(min_size);
    return writer.Take();
}

double DoubleByteShare(const Bytes& sjis) {
    std::size_t in_pairs = 0;
    for (std::size_t i = 0; i < sjis.size(); i += CharacterWidth(sjis, i)) {
        if (CharacterWidth(sjis, i) == 2) in_pairs += 2;
    }
    return sjis.empty() ? 0.0 : static_cast<double>(in_pairs) / static_cast<double>(sjis.size());
}

std::vector<Bytes> SplitRecords(const Bytes& sjis) {
    constexpr std::size_t kShortest = 20;
    constexpr std::size_t kLongest = 200;
    Random random(0x7265636F726473u);
    std::vector<Bytes> records;
    Bytes record;
    std::size_t limit = kLongest;
    auto finish = [&] {
        if (record.size() >= kShortest) records.push_back(record);
        record.clear();
        limit = kLongest;
    };
    for (std::size_t i = 0; i < sjis.size();) {
        if (sjis[i] == 0x0D && i + 1 < sjis.size() && sjis[i + 1] == 0x0A) {
            finish();
            i += 2;
            continue;
        }
        const std::size_t width = CharacterWidth(sjis, i);
        if (record.size() + width > limit) {
            finish();
            limit = static_cast<std::size_t>(random.Between(kShortest, kLongest));
        }
        record.insert(record.end(), sjis.begin() + static_cast<std::ptrdiff_t>(i),
                      sjis.begin() + static_cast<std::ptrdiff_t>(i + width));
        i += width;
    }
    finish();
    return records;
}

}  // namespace corpus
