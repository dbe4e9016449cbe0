// The set pieces that show the monsters: the title screen's demo, the ending
// parade and the staff credits, each closed by the credit pictures.
#pragma once

// Until a key; leaves the plain title picture drawn (not yet presented).
void PlayOpeningDemo();
// Every monster with its author and defeat count, then the closing pictures.
void PlayEndingDemo();
// A rising roll of authors and names, then the closing pictures.
void PlayStaffCredits();
