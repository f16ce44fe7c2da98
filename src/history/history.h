// The history of every device's settings, for a program that keeps and reads
// it: the store, the recorder in front of it, the time text and the diff.
#pragma once

#include "history/diff.h"
#include "history/recorder.h"
#include "history/store.h"
#include "history/time_text.h"
