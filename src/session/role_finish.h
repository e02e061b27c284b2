// The end of a role, run by its send thread when the loop has stopped.
#pragma once

// Logs the start, waits for the receive thread, destroys the role object
// (after taking it out of reach of the key-event relay), stops the socket
// library and reports shutdownState 2, which releases the gauge's wait.
void FinishRole();
