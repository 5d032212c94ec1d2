# Sources of net/ in kelvra_core.
