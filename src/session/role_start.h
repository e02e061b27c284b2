// The start of the server or client role and its two threads.
#pragma once

void StartRole();
