// Test-only control of the internet stand-in's time-outs.
//
//   InternetSetTimeoutsForTesting(60000, 300);           // 300 ms without data fails
//   InternetSetTimeoutsForTesting(60000, 30000);         // back to the defaults
//
// The time-outs count for requests sent from then on, in milliseconds:
// to connect, without any data, and for the whole request from its sending
// to the body's last byte. Defaults: 60000, 30000 and 120000.
#pragma once

void InternetSetTimeoutsForTesting(long connectMilliseconds, long receiveMilliseconds,
                                   long wholeMilliseconds = 120000);
