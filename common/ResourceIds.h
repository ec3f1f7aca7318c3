#pragma once

// Resource identifiers shared by the programs' resource scripts and their window tables. Plain
// #defines, because the resource compiler reads this file too.

#define VELMOR_IDI_APP 1              // the program icon
#define VELMOR_IDR_LOGO 101           // the 150 x 30 product logo (JPEG)
#define VELMOR_IDR_START_PICTURE 102  // the 32 x 32 Start-button picture (GIF)
