// Answer fuzzing: mutated answers (bit flips, cuts, extensions, wrong lengths, codes and result
// bytes, from good answers and from the seed corpus) go through the engine's own receive and
// decode path, over a link that hands them over at once instead of at line speed. Each outcome
// is checked against a model of the protocol written here from the protocol's rules:
//   - the result is a defined code with its exact text;
//   - the decoded fields change only for a well-formed answer with result byte 0;
//   - Input is the dump of exactly the bytes the engine read.
// KORVEX_FUZZ_CASES and KORVEX_FUZZ_SEED choose the batch; the default is the short one.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "DecodedFields.h"
#include "EnvNumber.h"
#include "SimControl.h"
#include "untDriver.h"

namespace {

using Bytes = std::string;

// A link that gives the engine one prepared answer and records what it was sent.
class AnswerLink : public TComm {
public:
    Bytes answer;
    size_t position = 0;
    Bytes written;

    void EnsureOpen() override {}
    void SetTimeouts(uint32_t) override {}
    void SetRts() override {}
    void ClearRts() override {}
    void Purge() override {}
    void Pause(uint32_t) override {}
    void Write(const Bytes& bytes) override { written += bytes; }
    Bytes Read(uint32_t n) override {
        Bytes part = answer.substr(position, n);
        position += part.size();
        return part;
    }
};

uint8_t Xor(const Bytes& bytes) {
    uint8_t x = 0;
    for (unsigned char b : bytes)
        x ^= b;
    return x;
}

// What the protocol says an answer must lead to.
struct Outcome {
    int code;
    std::string text;
    std::string input;
    Decoded fields;
};

Outcome Expect(const Bytes& answer, Decoded fields) {
    using namespace expected;
    Bytes header = answer.substr(0, 4);
    Outcome out{0, kNoError, sim::toHex(header), fields};
    auto fail = [&](int code, const std::string& text) {
        out.code = code;
        out.text = text;
        out.fields = fields;
        return out;
    };
    if (header.size() < 4)
        return fail(-1, kNoLink);
    if (header[0] != 0x02)
        return fail(-199, kNotStx);
    size_t length = static_cast<unsigned char>(header[3]);
    Bytes rest = answer.substr(4, length + 1);
    out.input += " " + sim::toHex(rest);
    if (rest.size() < length + 1)
        return fail(-1, kNoLink);
    Bytes payload = rest.substr(0, length);
    if (static_cast<uint8_t>(rest[length]) != Xor(header.substr(1) + payload))
        return fail(-4, kBadCrc);
    if (payload.size() < 2)
        return fail(-199, kRangeCheck);
    auto at = [&](size_t i) { return static_cast<uint8_t>(payload[i]); };
    if (at(1) != 0)
        return fail(at(1), DeviceError(at(1)));
    size_t data = payload.size() - 2;
    switch (at(0)) {
    case 'w':
    case 'x':
    case 'y':
        if (data < 1)
            return fail(-5, kBadLength);
        out.fields.releStatus = at(2);
        return out;
    case 'z':
        if (data < 6)
            return fail(-5, kBadLength);
        out.fields = {fields.releStatus,
                      at(2),
                      at(3),
                      at(4),
                      at(5),
                      static_cast<uint16_t>(at(6) + 256 * at(7))};
        return out;
    default:
        return fail(-199, UnknownCommand(at(0)));
    }
}

Bytes Frame(const Bytes& payload) {
    Bytes body{0x00, 0x55, static_cast<char>(payload.size())};
    body += payload;
    return '\x02' + body + static_cast<char>(Xor(body));
}

std::vector<Bytes> ReadCorpus() {
    std::vector<Bytes> corpus;
    std::ifstream file(KORVEX_FUZZ_CORPUS);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream hex(line);
        Bytes bytes;
        unsigned value;
        while (hex >> std::hex >> value)
            bytes += static_cast<char>(value);
        corpus.push_back(bytes);
    }
    return corpus;
}

class Mutator {
public:
    Mutator(unsigned seed, std::vector<Bytes> corpus) : random_(seed), corpus_(std::move(corpus)) {}

    Bytes Next() {
        Bytes answer = Base();
        int mutations = Pick(0, 3);
        for (int i = 0; i < mutations; ++i)
            Mutate(answer);
        // Half of them get a right checksum again, so decoding is reached past the check.
        if (Pick(0, 1) && answer.size() >= 5)
            answer.back() = static_cast<char>(Xor(answer.substr(1, answer.size() - 2)));
        return answer;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    char AnyByte() { return static_cast<char>(Pick(0, 255)); }

    Bytes Base() {
        if (Pick(0, 3) == 0)
            return corpus_[Pick(0, static_cast<int>(corpus_.size()) - 1)];
        static const char codes[] = {'w', 'x', 'y', 'z'};
        char code = codes[Pick(0, 3)];
        Bytes payload{code, 0};
        for (int i = 0, n = code == 'z' ? 6 : 1; i < n; ++i)
            payload += AnyByte();
        return Frame(payload);
    }

    void Mutate(Bytes& a) {
        size_t size = a.size();
        switch (Pick(0, 6)) {
        case 0: // a bit flip
            if (size)
                a[Pick(0, static_cast<int>(size) - 1)] ^= static_cast<char>(1 << Pick(0, 7));
            break;
        case 1: // cut
            a.resize(Pick(0, static_cast<int>(size)));
            break;
        case 2: // extension
            for (int i = Pick(1, 8); i > 0; --i)
                a += AnyByte();
            break;
        case 3: // wrong length
            if (size > 3)
                a[3] = Pick(0, 1) ? AnyByte() : static_cast<char>(a[3] + Pick(-2, 2));
            break;
        case 4: // wrong command code
            if (size > 4)
                a[4] = AnyByte();
            break;
        case 5: // wrong result byte
            if (size > 5)
                a[5] = AnyByte();
            break;
        case 6: // a byte replaced
            if (size)
                a[Pick(0, static_cast<int>(size) - 1)] = AnyByte();
            break;
        }
    }

    std::mt19937 random_;
    std::vector<Bytes> corpus_;
};

TEST(AnswerFuzz, EveryAnswerEndsInADefinedResultAndOnlyAGoodOneChangesTheFields) {
    const unsigned long cases = EnvNumber("KORVEX_FUZZ_CASES", 20000);
    const unsigned seed = static_cast<unsigned>(EnvNumber("KORVEX_FUZZ_SEED", 20261208));
    std::vector<Bytes> corpus = ReadCorpus();
    ASSERT_GE(corpus.size(), 10u) << "seed corpus " << KORVEX_FUZZ_CORPUS;
    Mutator mutator(seed, corpus);
    std::mt19937 random(seed ^ 0x5A5A5A5A);

    TDriver driver;
    auto owned = std::make_unique<AnswerLink>();
    AnswerLink& link = *owned;
    driver.Comm = std::move(owned);
    int (TDriver::*const commands[])() = {&TDriver::SetStatus, &TDriver::ToggleStatus,
                                          &TDriver::GetStatus, &TDriver::GetDeviceMetrics};
    unsigned long good = 0, failures = 0;
    auto start = std::chrono::steady_clock::now();
    for (unsigned long i = 0; i < cases && failures < 10; ++i) {
        Bytes answer = mutator.Next();
        Decoded before{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                       static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                       static_cast<uint8_t>(random()), static_cast<uint16_t>(random())};
        SetFields(driver, before);
        link.answer = answer;
        link.position = 0;
        Outcome expected = Expect(answer, before);
        int code = (driver.*commands[random() % 4])();

        bool ok = code == expected.code && driver.ResultCode == expected.code &&
                  driver.ResultDescription == expected.text && driver.Input == expected.input &&
                  FieldsOf(driver) == expected.fields;
        good += expected.code == 0;
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "answer " << sim::toHex(answer) << "\n  code " << code << " text "
                          << driver.ResultDescription << " input [" << driver.Input
                          << "]\n  expected " << expected.code << " " << expected.text << " ["
                          << expected.input << "]";
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("answer fuzz: %lu answers (%lu well-formed) in %.2f s, %.0f answers/s, seed %u\n",
                cases, good, seconds, cases / seconds, seed);
    EXPECT_GT(good, cases / 20); // the mix reaches the decoders, not only the checks
}

} // namespace
