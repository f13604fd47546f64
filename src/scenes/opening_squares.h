#pragma once
// The first scene: eight rectangles fading in on the beat, a picture at a
// steep angle, a white flash and a fade to black.

struct OpeningSquaresState {
    float squareLevel[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    double flashLevel = 0.0;
    double pictureLevel = 0.2;
    double fadeLevel = 1.0;
};

extern OpeningSquaresState openingSquares;

void drawOpeningSquares();
