// For the tests of the string-resource manager only: forgets the loaded message
// library (it stays loaded) and the not-found report, as a new process would
// start, so that each case begins from nothing.
#pragma once

void forgetStringResources();
