#include "lzx_format.h"

static const int kSlotsByWindow[] = {30, 32, 34, 36, 38, 42, 50};

int LzxPositionSlots(int windowBits) { return kSlotsByWindow[windowBits - kLzxMinWindowBits]; }

static int SlotExtraBits(int slot) {
    if (slot < 4) return 0;
    int bits = (slot - 2) / 2;
    return bits > 17 ? 17 : bits;
}

// Slot and extra bits of a formatted distance (distance + 2).
static int FormattedSlot(uint32_t formatted, uint32_t* base) {
    uint32_t slotBase = 0;
    int slot = 0;
    for (;;) {
        uint32_t nextBase = slotBase + (1u << SlotExtraBits(slot));
        if (nextBase > formatted) break;
        slotBase = nextBase;
        slot++;
    }
    *base = slotBase;
    return slot;
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
