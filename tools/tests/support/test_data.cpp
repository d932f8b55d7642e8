#include "support/test_data.h"

#include <algorithm>
#include <string>

Bytes RandomBytes(TestRandom* random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) byte = (uint8_t)random->Next();
    return bytes;
}

Bytes TextBytes(TestRandom* random, size_t size) {
    static const char* const kWords[] = {"the", "cabinet", "folder", "window", "of", "and", "frame", "data",
                                         "block", "a", "package", "extract", "setup", "file", "to", "is"};
    std::string text;
    while (text.size() < size) {
        text += kWords[random->Below(16)];
        text += random->Below(12) == 0 ? ".\r\n" : " ";
    }
    return Bytes(text.begin(), text.begin() + size);
}

Bytes RunBytes(TestRandom* random, size_t size) {
    Bytes bytes;
    while (bytes.size() < size) {
        size_t run = 1 + random->Below(random->Below(4) == 0 ? 4000 : 40);
        bytes.insert(bytes.end(), std::min(run, size - bytes.size()), (uint8_t)random->Below(4));
    }
    return bytes;
}

Bytes CallBytes(TestRandom* random, size_t size) {
    uint32_t targets[64];
    for (uint32_t& target : targets) target = random->Below((uint32_t)size + 1);
    Bytes bytes;
    while (bytes.size() < size) {
        if (random->Below(3) == 0) {
            // CALL rel32 to one of a few targets, relative to the next instruction.
            int32_t relative = (int32_t)targets[random->Below(64)] - (int32_t)(bytes.size() + 5);
            if (random->Below(8) == 0) relative = (int32_t)random->Next();  // outside any image
            bytes.push_back(0xE8);
            for (int i = 0; i < 4; i++) bytes.push_back((uint8_t)((uint32_t)relative >> (8 * i)));
        } else {
            static const uint8_t kOpcodes[] = {0x55, 0x89, 0xE5, 0x8B, 0x45, 0x08, 0x5D, 0xC3, 0x00, 0xFF, 0xE8};
            bytes.push_back(kOpcodes[random->Below(sizeof kOpcodes)]);
        }
    }
    bytes.resize(size);
    return bytes;
}

Bytes RepeatBytes(TestRandom* random, size_t size) {
    Bytes bytes = RandomBytes(random, std::min<size_t>(size, 512));
    while (bytes.size() < size) {
        size_t length = 3 + random->Below(300);
        size_t distance = 1 + (random->Below(2) ? random->Below(64) : random->Below((uint32_t)bytes.size()));
        if (distance > bytes.size()) distance = bytes.size();
        size_t from = bytes.size() - distance;
        for (size_t i = 0; i < length && bytes.size() < size; i++) {
            uint8_t byte = bytes[from + i];
            bytes.push_back(byte);
        }
        if (bytes.size() < size && random->Below(2)) bytes.push_back((uint8_t)random->Next());
    }
    return bytes;
}

Bytes TextNoiseTextBytes(TestRandom* random) {
    const size_t kFrame = 32768;
    Bytes bytes = TextBytes(random, 3 * kFrame);
    Bytes noise = RandomBytes(random, 4 * kFrame);
    const size_t kDistance = 5000, kPiece = 64;
    std::copy(noise.end() - kDistance - kPiece, noise.end() - kDistance, noise.end() - kPiece);
    Bytes text = TextBytes(random, 3 * kFrame);
    std::copy(noise.end() - kDistance, noise.end() - kDistance + kPiece, text.begin());
    bytes.insert(bytes.end(), noise.begin(), noise.end());
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

std::string LzxLevelName(const ::testing::TestParamInfo<LzxLevel>& info) {
    static const char* const kNames[] = {"fast", "default", "best"};
    return kNames[info.param];
}
