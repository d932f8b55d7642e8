// What Windows does not hold in a file name as it is. The module rewrites
// such a stored name (extract/names.cpp); vuvpack refuses to store one.
// Code points or UTF-16 units in, no library calls: both compile it.
#pragma once

// Characters Windows refuses in file names (the separators aside), and the
// word joiner, which can hide a name's real shape.
bool IsRefusedNameCharacter(unsigned long c);

// A dot or blank: Windows drops them at the end of a name, and so does the
// module, component by component.
inline bool IsDroppedTrailer(unsigned long c) { return c == '.' || c == ' '; }

// A blank: the module drops the blanks that start a component.
inline bool IsDroppedLeader(unsigned long c) { return c == ' '; }

// Windows counts the superscripts one, two and three as digits after COM
// and LPT.
bool IsDeviceDigit(unsigned long c);

// Longer names first: CONIN$ and CONOUT$ start with CON.
inline constexpr const char* kPlainDeviceNames[] = {"CONOUT$", "CONIN$", "AUX", "CON", "NUL", "PRN"};

template <typename Char>
bool StartsWithAsciiNoCase(const Char* text, const char* word) {
    for (; *word; text++, word++) {
        unsigned long c = (unsigned long)*text;
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        if (c != (unsigned long)(unsigned char)*word) return false;
    }
    return true;
}

// Length of the device name at the start of text, 0 when there is none.
template <typename Char>
int DeviceNameLength(const Char* text) {
    for (const char* device : kPlainDeviceNames) {
        if (StartsWithAsciiNoCase(text, device)) {
            int length = 0;
            while (device[length]) length++;
            return length;
        }
    }
    if ((StartsWithAsciiNoCase(text, "COM") || StartsWithAsciiNoCase(text, "LPT")) && IsDeviceDigit(text[3]))
        return 4;
    return 0;
}

// True when the component that starts at component (and ends at a
// backslash or the terminator) names a device. Windows 10 and older open
// the device also when an extension or blanks follow its name (AUX.txt,
// CON .txt), so those count as device names too.
template <typename Char>
bool IsDeviceComponent(const Char* component) {
    int length = DeviceNameLength(component);
    if (!length) return false;
    const Char* rest = component + length;
    while (*rest == ' ') rest++;
    return *rest == 0 || *rest == '\\' || *rest == '.';
}
