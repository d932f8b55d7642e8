#include "vuvpack/lzx/lzx_format.h"

static const int kSlotsByWindow[] = {30, 32, 34, 36, 38, 42, 50};

int LzxPositionSlots(int windowBits) { return kSlotsByWindow[windowBits - kLzxMinWindowBits]; }

static int SlotExtraBits(int slot) {
    if (slot < 4) return 0;
    int bits = (slot - 2) / 2;
    return bits > 17 ? 17 : bits;
}

// Slot and base of a formatted distance (distance + 2): slots 0-3 are the
// values 0-3; from slot 4 two slots per power of two, up to slot 36, from
// which each slot spans 2^17.
static int FormattedSlot(uint32_t formatted, uint32_t* base) {
    if (formatted < 4) {
        *base = formatted;
        return (int)formatted;
    }
    if (formatted >= (1u << 18)) {
        int slot = 36 + (int)((formatted - (1u << 18)) >> 17);
        *base = (1u << 18) + ((uint32_t)(slot - 36) << 17);
        return slot;
    }
    int power = 0;
    while ((formatted >> (power + 1)) != 0) power++;
    int half = (int)(formatted >> (power - 1)) & 1;
    *base = (uint32_t)(2 + half) << (power - 1);
    return 2 * power + half;
}

int LzxDistanceSlot(uint32_t distance, int* footerBits, uint32_t* footer) {
    uint32_t base;
    int slot = FormattedSlot(distance + 2, &base);
    *footer = distance + 2 - base;
    *footerBits = SlotExtraBits(slot);
    return slot;
}

LzxItem LzxMatchItem(uint32_t length, uint32_t distance, LzxRepeats* repeats) {
    uint32_t* r = repeats->distance;
    LzxItem item = {0, 0, 0, 0};
    int slot;
    if (distance == r[0]) {
        slot = 0;
    } else if (distance == r[1]) {
        slot = 1;
        r[1] = r[0];
        r[0] = distance;
    } else if (distance == r[2]) {
        slot = 2;
        r[2] = r[0];
        r[0] = distance;
    } else {
        int footerBits;
        slot = LzxDistanceSlot(distance, &footerBits, &item.footer);
        item.footerBits = (uint8_t)footerBits;
        r[2] = r[1];
        r[1] = r[0];
        r[0] = distance;
    }
    uint32_t header = length - kLzxMinMatch;
    if (header >= kLzxLengthHeaders - 1) {
        item.lengthSymbol = (uint8_t)(header - (kLzxLengthHeaders - 1));
        header = kLzxLengthHeaders - 1;
    }
    item.mainSymbol = (uint16_t)(kLzxLiteralCount + slot * kLzxLengthHeaders + header);
    return item;
}
