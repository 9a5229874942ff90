// Game pads turned into the players' keys, pads seated by order of connection.
#include "runtime/pads.h"

#include <array>

#include "runtime/input.h"

namespace {

constexpr int kPlayers = 2;
constexpr int kMaxPads = 8;  // connected at once; more are ignored

// The direction keys of each player, in PadUp, PadDown, PadLeft, PadRight order.
constexpr std::array<std::array<int, 4>, kPlayers + 1> kDirectionKeys{{
    {0, 0, 0, 0},
    {KeyUp, KeyDown, KeyLeft, KeyRight},
    {KeyW, KeyS, KeyA, KeyD},
}};

struct Pad {
    int id = -1;  // the platform's number; -1 for a free entry
    int player = 0;
    std::array<bool, PadButtons> buttons{};
    std::array<bool, 4> stick{};    // up, down, left, right beyond the dead zone
    std::array<int, 4> heldKeys{};  // the direction keys this pad holds, 0 for none
    int startKey = 0;               // what Start holds: Enter or P, fixed at the press
};

struct Seat {
    int pad = -1;          // the connected pad driving this player, -1 for none
    std::string identity;  // the pad that drove it last
};

std::array<Pad, kMaxPads> pads;
std::array<Seat, kPlayers + 1> seats;
bool fightKeys = false;

Pad* find(int id) {
    for (Pad& p : pads) {
        if (p.id == id && id >= 0) return &p;
    }
    return nullptr;
}

void hold(int& slot, int code) {
    if (slot == code) return;
    if (slot != 0) onPadKeyUp(slot);
    if (code != 0) onPadKeyDown(code);
    slot = code;
}

// Brings the keys a pad holds in line with its d-pad and stick.
void updateDirections(Pad& p) {
    for (int d = 0; d < 4; ++d) {
        const bool pushed = p.player != 0 && (p.buttons[PadUp + d] || p.stick[d]);
        hold(p.heldKeys[d], pushed ? kDirectionKeys[p.player][d] : 0);
    }
}

void releaseAll(Pad& p) {
    for (int& key : p.heldKeys)
        hold(key, 0);
    hold(p.startKey, 0);
    if (p.buttons[PadA]) onPadKeyUp(KeyEnter);
    if (p.buttons[PadB]) onPadKeyUp(KeyEscape);
    p.buttons.fill(false);
    p.stick.fill(false);
}

// A seat that knew this pad, else one that never had a pad, else any free one.
int seatFor(const std::string& identity) {
    for (int s = 1; s <= kPlayers; ++s) {
        if (seats[s].pad < 0 && !seats[s].identity.empty() && seats[s].identity == identity)
            return s;
    }
    for (int s = 1; s <= kPlayers; ++s) {
        if (seats[s].pad < 0 && seats[s].identity.empty()) return s;
    }
    for (int s = 1; s <= kPlayers; ++s) {
        if (seats[s].pad < 0) return s;
    }
    return 0;
}

}  // namespace

void onPadAdded(int id, const std::string& identity) {
    if (id < 0 || find(id) != nullptr) return;
    for (Pad& p : pads) {
        if (p.id >= 0) continue;
        p = Pad{};
        p.id = id;
        p.player = seatFor(identity.empty() ? "?" : identity);
        if (p.player != 0) {
            seats[p.player].pad = id;
            seats[p.player].identity = identity.empty() ? "?" : identity;
        }
        return;
    }
}

void onPadRemoved(int id) {
    Pad* p = find(id);
    if (p == nullptr) return;
    releaseAll(*p);
    if (p->player != 0) seats[p->player].pad = -1;
    *p = Pad{};
}

void onPadButton(int id, PadButton button, bool down) {
    Pad* p = find(id);
    if (p == nullptr || p->player == 0 || button < 0 || button >= PadButtons) return;
    if (p->buttons[button] == down) return;
    p->buttons[button] = down;
    switch (button) {
        case PadA:
            down ? onPadKeyDown(KeyEnter) : onPadKeyUp(KeyEnter);
            break;
        case PadB:
            down ? onPadKeyDown(KeyEscape) : onPadKeyUp(KeyEscape);
            break;
        case PadStart:
            hold(p->startKey, down ? (fightKeys ? KeyP : KeyEnter) : 0);
            break;
        default:
            updateDirections(*p);
            break;
    }
}

void onPadStick(int id, int x, int y) {
    Pad* p = find(id);
    if (p == nullptr) return;
    p->stick = {y<-kStickDeadZone, y> kStickDeadZone, x<-kStickDeadZone, x> kStickDeadZone};
    updateDirections(*p);
}

void setFightKeys(bool inFight) { fightKeys = inFight; }

int padPlayer(int id) {
    const Pad* p = find(id);
    return p != nullptr ? p->player : 0;
}

void resetPads() {
    pads.fill(Pad{});
    seats.fill(Seat{});
    fightKeys = false;
}
