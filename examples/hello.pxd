<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Center"/>
			<Data Mode="Static" Text="Hello from Pixtera"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="RightToLeft" ScrollDelay="250"/>
			<Data Mode="Static" Text="Designs scroll, align and draw bars. "/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
