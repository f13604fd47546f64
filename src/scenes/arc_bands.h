#pragma once
// The second scene: nine thin arc bands spinning about the view axis.

void drawArcBands();
