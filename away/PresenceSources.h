#pragma once

class AwayPrompt;

// The system's word on the user's presence, handed to the away prompt: the screen lock, and every
// source of inactivity that answers (the prompt hears the nearest to the input). The watches become the
// prompt's children. Each system has its own (PresenceSources_win.cpp).
void WatchPresence(AwayPrompt& away, int idleMinutes);
