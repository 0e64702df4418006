// The print session's process-wide state: whether a session is open, its
// key, the two print folders read from 4D's interprocess variables, the ten
// slot texts and the kept text. All of it lives in print_state.cpp and is
// reached only through the routines below.
//
// Invariants between PrintDocInit and PrintDocShutdown: the key and every
// slot hold a valid NUL-terminated heap text (a slot's may be empty). After
// shutdown, and before the first init, nothing is held: no session is open,
// the key is null and every slot reads as empty, so no command can reach a
// released text. The folders, once read, are kept until the next init.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kSlotCount = 10;
inline constexpr char kDefaultSessionKey[] = "VarnelLQM";
inline constexpr int32_t kMaxSlotTextBytes = 32766;
// The longest text routine 28 keeps; one byte more than a slot holds.
inline constexpr int64_t kMaxKeptTextBytes = 32767;

// -1: releases whatever an earlier init left, then the default key and ten
// empty slots; false (and nothing held) when memory is short.
bool PrintDocInit();
// -2: releases every text and closes the session.
void PrintDocShutdown();

// True when the slot commands may use the session's texts.
bool PrintSessionUsable();
void SetPrintSessionOpen(bool open);

// The session key, borrowed; null outside init and shutdown.
const char* SessionKey();
// Takes ownership of a new NUL-terminated heap key and releases the old one.
// Ignored (and `key` freed) outside init and shutdown.
void ReplaceSessionKey(char* key);

// Reads the two folder variables, the root one first, each only once per
// initialisation; true once both have been read as texts.
bool ReadPrintFolders();

// The slot's text, borrowed: "" for a slot above 9 or outside init.
const char* GetSlotText(uint16_t slot);
// Stores a copy of `text` in the slot: 1 on success; 0, leaving the slot as
// it was, for an empty or over-long text, a slot above 9, short memory, or
// outside init.
int32_t SetSlotText(uint16_t slot, const char* text);

// Takes ownership of a heap text as the kept text, releasing the previous
// one; outside init `text` is freed instead, so nothing outlives shutdown.
void KeepText(char* text);
// The kept text, borrowed; null when none is kept.
const char* KeptText();
