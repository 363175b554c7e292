// Short explanations of the status numbers, for the zpk tool and test messages.
#pragma once

// "package is missing or unreadable" and so on; "unknown status" for others.
const char* zpkStatusText(int status);
