// The end of a role, run by its send thread when the loop has stopped.
#pragma once

// Waits for the receive thread, if it runs, destroys the role object (after
// taking it out of reach of the key-event relay) and stops what the start
// began beside it: the router mapping, the peer lookup and the socket library.
void ReleaseRole();

// Logs the start, releases the role and reports shutdownState 2, which
// releases the gauge's wait.
void FinishRole();
