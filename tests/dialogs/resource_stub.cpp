// The fixture libraries of the version tests hold nothing but resources.
