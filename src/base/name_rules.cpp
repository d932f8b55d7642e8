#include "base/name_rules.h"

bool IsRefusedNameCharacter(unsigned long c) {
    if (c >= 0x0001 && c <= 0x001F) return true;
    switch (c) {
    case ':':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
    case '*':
    case 0x2060:
        return true;
    }
    return false;
}

bool IsDeviceDigit(unsigned long c) { return (c >= '0' && c <= '9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3; }
