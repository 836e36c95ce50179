#pragma once

#include <random>
#include <string>
#include <string_view>

namespace velorin {

// Seeded mutations of valid inputs for the parsers' fuzz tests: byte flips, inserted special and
// random bytes, deletions, duplicated ranges and truncations, a few at a time.
class Mutations {
public:
    explicit Mutations(std::uint32_t seed, std::string_view specials = {}) : m_random(seed), m_specials(specials) {}

    std::string mutate(std::string text)
    {
        const int count = pick(1, 4);
        for (int i = 0; i < count; ++i)
            mutateOnce(text);
        return text;
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::mt19937& random() { return m_random; }

private:
    void mutateOnce(std::string& text)
    {
        const auto at = [&] { return static_cast<std::size_t>(pick(0, static_cast<int>(text.size()))); };
        switch (pick(0, 5)) {
        case 0: // flip one bit
            if (!text.empty()) {
                const std::size_t i = at() % text.size();
                text[i] = static_cast<char>(text[i] ^ (1 << pick(0, 7)));
            }
            break;
        case 1: { // a byte that means something to the parser, or NUL and line ends
            static constexpr std::string_view always{"\0\n\r\t \"\\", 7};
            const std::string_view pool = pick(0, 1) == 0 || m_specials.empty() ? always : m_specials;
            text.insert(at(), 1, pool[static_cast<std::size_t>(pick(0, static_cast<int>(pool.size()) - 1))]);
            break;
        }
        case 2: // any byte
            text.insert(at(), 1, static_cast<char>(pick(0, 255)));
            break;
        case 3: { // delete a range
            const std::size_t from = at();
            text.erase(from, static_cast<std::size_t>(pick(1, 16)));
            break;
        }
        case 4: { // repeat a range
            const std::size_t from = at();
            const std::string copy = text.substr(from, static_cast<std::size_t>(pick(1, 64)));
            text.insert(at(), copy);
            break;
        }
        default: // cut short
            text.resize(at());
            break;
        }
    }

    std::mt19937 m_random;
    std::string_view m_specials;
};

} // namespace velorin
