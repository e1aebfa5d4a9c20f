#include "app/Unit1.h"

void TForm1::WireAnalysis()
{
}

void TForm1::RunAnalysis()
{
}
