// The window set: every window made once at start-up, in a fixed order.
#pragma once

// Creates TForm1 (the main window) and then TForm2 … TForm10, all hidden.
void CreateForms();

// Destroys the set in reverse order (the program's end, and between tests).
void DestroyForms();
