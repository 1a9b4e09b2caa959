// SPDX-License-Identifier: MIT
// A shared object that loads but offers none of the COM entry points.
extern "C" __attribute__((visibility("default"))) int PixteraTestModuleAnswer() { return 42; }
