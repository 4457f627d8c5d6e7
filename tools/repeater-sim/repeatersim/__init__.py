"""A simulated QZ-8061Tr repeater: discovery responder, web server, reboots and faults."""
