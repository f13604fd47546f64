#pragma once
// The credits: a rippling field of small cubes with the credit lines spelled into it.

void drawCreditsField();
