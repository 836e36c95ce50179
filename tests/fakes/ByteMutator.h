#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::test {

// Damages valid input the way hands, editors and broken copies do, for parsers that must refuse
// anything malformed without crashing. Seeded, so a failing case can be replayed.
class ByteMutator {
public:
    // `meaningful`: further bytes that mean something to the parser under test (JSON's brackets, say);
    // `pieces`: longer ones, inserted whole.
    explicit ByteMutator(std::uint32_t seed, std::string_view meaningful = {}, std::vector<std::string> pieces = {})
        : m_random(seed), m_meaningful(meaningful), m_pieces(std::move(pieces))
    {
    }

    // One to four damages of `text`.
    std::string mutate(std::string text)
    {
        const int damages = pick(1, 4);
        for (int i = 0; i < damages; ++i)
            damage(text);
        return text;
    }

private:
    // Bytes that mean something to a line parser or to a terminal.
    static constexpr char specialBytes[] = "\0\r\n@#:. \t\\\x1B\x7F\x80\xC3\xFF";
    static constexpr std::string_view special{specialBytes, sizeof specialBytes - 1};

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::size_t position(const std::string& text, bool pastEnd)
    {
        const std::size_t last = text.size() - (pastEnd || text.empty() ? 0 : 1);
        return std::uniform_int_distribution<std::size_t>(0, last)(m_random);
    }
    char anyByte() { return static_cast<char>(pick(0, 255)); }
    char specialByte()
    {
        const std::string_view pool = m_meaningful.empty() || pick(0, 1) == 0 ? special : m_meaningful;
        return pool[static_cast<std::size_t>(pick(0, static_cast<int>(pool.size()) - 1))];
    }

    void damage(std::string& text)
    {
        switch (text.empty() ? 1 : pick(0, 6)) {
        case 0:
            text[position(text, false)] ^= static_cast<char>(1 << pick(0, 7));
            break;
        case 1:
            text.insert(position(text, true), 1, anyByte());
            break;
        case 2:
            if (!m_pieces.empty() && pick(0, 1) == 0)
                text.insert(position(text, true),
                            m_pieces[static_cast<std::size_t>(pick(0, int(m_pieces.size()) - 1))]);
            else
                text.insert(position(text, true), 1, specialByte());
            break;
        case 3: {
            const std::size_t at = position(text, false);
            text.erase(at, static_cast<std::size_t>(pick(1, 8)));
            break;
        }
        case 4: {
            const std::size_t at = position(text, false);
            const std::string piece = text.substr(at, static_cast<std::size_t>(pick(1, 24)));
            text.insert(position(text, true), piece);
            break;
        }
        case 5:
            text.resize(position(text, true));
            break;
        default:
            text[position(text, false)] = specialByte();
            break;
        }
    }

    std::mt19937 m_random;
    std::string_view m_meaningful;
    std::vector<std::string> m_pieces;
};

} // namespace velorin::test
