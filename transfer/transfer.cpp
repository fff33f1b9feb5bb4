// The calibration message set and the Send, Receive and Verify exchanges live here.
