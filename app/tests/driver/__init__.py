"""Drives the real program under a display of its own with synthesised X
input and screenshots (see xsession, program and layout)."""
