#include "session/role_start.h"

void StartRole() {}
