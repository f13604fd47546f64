#pragma once
// The greetings: dim additive arc bands glowing behind a title picture at the
// left and a column of greeting pictures that grows downwards on the beat,
// each new one fading in. The scene fades in from black over its first
// 500 ms and, from row 600, back to black over 500 ms.

struct GreetingsState {
    float darkness = 1.0f;       // subtracted from every colour component; 1 black, 0 full colour
    int darknessState = 0;       // 0 fading in, 1 shown, 2 fading out, 3 dark
    float ringPhase = 0.0f;      // degrees, + 1 per 52 ms of frames
    float ringSpin = 0.0f;       // degrees, + 1 per 10 ms of frames
    int greetCount = 0;          // greeting pictures shown, 0 to 9
    int lastGreetCount = 0;      // greetCount as last seen, to notice a new picture
    float newGreetAlpha = 0.0f;  // alpha of the newest picture while it fades in
    bool newGreetFading = false;
};

extern GreetingsState greetings;

// A band of points - 1 quads between an inner and an outer circle, lying in
// the plane z = x before it is turned by `spin` degrees about the routine's
// axis ((0, 1, 1) for A, (1, 0.1, 0.4) for B) and moved to z = depth. Each
// quad is its own GL_QUADS block; nothing is drawn for fewer than 2 points.
// Sets no colour and no texture coordinate; the matrix is restored.
void drawTiltedBandA(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth);
void drawTiltedBandB(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth);

// One frame of the scene; animates by frameDeltaMs.
void drawGreetings();
