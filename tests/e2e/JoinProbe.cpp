// Songs cut from one signal, and what a sink made of them.
//
//   sorvel_join_probe make FOLDER
//       writes piece1.wav, piece2.wav and piece3.wav: consecutive pieces of one coded
//       song (support/CodedSong.h), cut at frames no codec frame size divides.
//   sorvel_join_probe analyse RECORDING
//       reads a recording of the sink (s16le, 44.1 kHz, stereo) and prints, for each
//       join, the frames of silence heard between the pieces and the frames skipped or
//       repeated there. Exit 0 when the pieces play back as the uncut signal, 2 when
//       every join is exact but the sound broke inside a piece (it ran dry), else 1.

#include "support/CodedSong.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kPieces[] = {57331, 61013, 52369};

int make(const std::string& folder)
{
    std::uint32_t first = 0;
    for (std::size_t i = 0; i < std::size(kPieces); ++i) {
        const std::string path = folder + "/piece" + std::to_string(i + 1) + ".wav";
        if (!coded::WritePiece(path, 0, first, kPieces[i])) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        first += kPieces[i];
    }
    return 0;
}

int analyse(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t frames = bytes.size() / 4;
    auto sample = [&](std::size_t frame, int channel) {
        const std::size_t at = frame * 4 + static_cast<std::size_t>(channel) * 2;
        return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at])
                                         | (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
    };
    std::uint32_t total = 0;
    for (std::uint32_t piece : kPieces)
        total += piece;
    // Walk the recording from the song's first frame; between two coded frames, count
    // what is not the song (silence) and how far the position moved.
    long last = -1;
    long silence = 0;
    std::vector<long> joinSilence(std::size(kPieces) - 1, 0), joinSkip(std::size(kPieces) - 1, 0);
    long elsewhere = 0;  // frames of silence or jumps away from any join
    for (std::size_t i = 0; i < frames; ++i) {
        const coded::Frame frame = coded::DecodeFrame(sample(i, 0), sample(i, 1));
        if (frame.song != 0) {
            if (last >= 0)
                ++silence;
            continue;
        }
        // The recording may begin after the song did (the sink renders ahead while it
        // wakes): only what follows the first frame heard counts.
        if (last >= 0 && (silence > 0 || frame.position != last + 1)) {
            // The join this lies at, if any: the piece boundary nearest to the frame.
            long boundary = 0;
            int join = -1;
            for (std::size_t j = 0; j + 1 < std::size(kPieces); ++j) {
                boundary += kPieces[j];
                if (std::labs(frame.position - boundary) < 4410)
                    join = static_cast<int>(j);
            }
            if (join >= 0) {
                joinSilence[static_cast<std::size_t>(join)] += silence;
                joinSkip[static_cast<std::size_t>(join)] += frame.position - (last + 1);
            } else {
                elsewhere += silence + std::labs(frame.position - (last + 1));
            }
        }
        silence = 0;
        last = frame.position;
        if (last + 1 == static_cast<long>(total))
            break;  // the list wraps: the first piece comes again
    }
    bool joined = last + 1 == static_cast<long>(total);
    std::printf("heard up to frame %ld of %u; %ld frames broken away from the joins\n", last, total, elsewhere);
    for (std::size_t j = 0; j < joinSilence.size(); ++j) {
        std::printf("join %zu: silence %ld frames (%.1f ms), skipped %ld frames\n", j + 1, joinSilence[j],
                    joinSilence[j] * 1000.0 / coded::kRate, joinSkip[j]);
        joined = joined && joinSilence[j] == 0 && joinSkip[j] == 0;
    }
    if (!joined)
        return 1;
    // Exact at every join, broken inside a piece: the sound ran dry on a starved machine.
    return elsewhere == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 3)
        return make(argv[2]);
    if (command == "analyse" && argc == 3)
        return analyse(argv[2]);
    std::fprintf(stderr, "usage: %s make FOLDER | analyse RECORDING\n", argv[0]);
    return 2;
}
