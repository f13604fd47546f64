#pragma once
// The greetings: glow bands, the title picture and the greeting pictures.

void drawGreetings();
