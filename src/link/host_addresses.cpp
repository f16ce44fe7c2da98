#include "link/udp_link.h"
